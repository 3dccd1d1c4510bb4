<?vltrx type="in-filter-v2" name="Prefix" file-ext="*.pre;" cmd-ext="pre_in"?>
