<?vltrx type="in-filter" name="Twin B" file-ext="*.twb;" cmd-ext="twin"?>
