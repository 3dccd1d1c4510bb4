<?vltrx type="in-filter" name="No ext" cmd-ext="noext"?>
