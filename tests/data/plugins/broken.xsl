<?xml version="1.0"?>
<?vltrx type="out-filter" name="Broken" file-ext="*.broken;" cmd-ext="broken"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:template match="/"><xsl:value-of select="no-such-function()"/></xsl:template>
</xsl:stylesheet>
