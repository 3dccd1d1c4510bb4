<!-- no header -->
 <?vltrx type="in-filter" name="Indented" file-ext="*.ind;" cmd-ext="ind"?>
