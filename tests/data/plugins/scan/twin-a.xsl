<?vltrx type="in-filter" name="Twin A" file-ext="*.twa;" cmd-ext="twin"?>
