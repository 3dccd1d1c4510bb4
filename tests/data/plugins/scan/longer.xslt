<?vltrx type="in-filter" name="Longer" file-ext="*.lx;" cmd-ext="longer"?>
