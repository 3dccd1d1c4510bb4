<?vltrx type="out-filter" name="Wrong way" file-ext="*.ww;" cmd-ext="ww"?>
