// A core header that reaches up into the ui: the layer check must refuse it.
#pragma once

#include "core/CError.h"
#include "ui/Ui.h"
