<?xml version="1.0"?>
<?vltrx type="in-filter" name="Caps" file-ext="*.cap;" cmd-ext="caps"?>
