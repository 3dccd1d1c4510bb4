<?xml version="1.0" encoding="UTF-8"?>
<?vltrx type="out-filter" name="KML (.kml)" file-ext="*.kml;" cmd-ext="kml"?>
<!--
  vltrx export plug-in: native XML to KML 2.2.

  Folders and layouts become nested KML Folders; every polygon becomes a
  Placemark: a Point for a polygon of one point, a LineString for an open
  polygon, a Polygon for a closed one of at least three points (the ring
  repeats its first point). The placemark is named after the point id (one
  point) or the comment; the category names and the comment are kept as
  ExtendedData.

  Coordinates are written as stored, "x,y,z" in metres of the survey's own
  system: no reprojection to WGS 84 longitude and latitude happens.

  Parameters (set by vltrx): alpha=1 with alphanumeric point ids, prefix =
  the text put before the number of a point without id text.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
                xmlns="http://www.opengis.net/kml/2.2">
  <xsl:output method="xml" encoding="UTF-8" indent="yes"/>
  <xsl:param name="alpha" select="''"/>
  <xsl:param name="prefix" select="'#'"/>

  <xsl:key name="category" match="/velmora/category_ref/category" use="@id"/>

  <xsl:template match="/">
    <kml>
      <Document>
        <xsl:apply-templates select="velmora/measurements/subfolder | velmora/measurements/mfolder"/>
      </Document>
    </kml>
  </xsl:template>

  <xsl:template match="subfolder | mfolder">
    <Folder>
      <name><xsl:value-of select="@name"/></name>
      <xsl:if test="string(@comment) != ''">
        <description><xsl:value-of select="@comment"/></description>
      </xsl:if>
      <xsl:apply-templates select="subfolder | mfolder | polygon[point]"/>
    </Folder>
  </xsl:template>

  <xsl:template match="polygon">
    <xsl:variable name="n" select="count(point)"/>
    <xsl:variable name="owner" select="self::node()[$n &gt; 1] | point[$n = 1]"/>
    <Placemark>
      <name>
        <xsl:choose>
          <xsl:when test="$n = 1"><xsl:apply-templates select="point" mode="id"/></xsl:when>
          <xsl:otherwise><xsl:value-of select="@comment"/></xsl:otherwise>
        </xsl:choose>
      </name>
      <xsl:if test="string($owner/@comment) != ''">
        <description><xsl:value-of select="$owner/@comment"/></description>
      </xsl:if>
      <ExtendedData>
        <Data name="categories">
          <value>
            <xsl:call-template name="category-names">
              <xsl:with-param name="ids" select="normalize-space(translate($owner/@categories, '&#9;', ' '))"/>
            </xsl:call-template>
          </value>
        </Data>
      </ExtendedData>
      <xsl:choose>
        <xsl:when test="$n = 1">
          <Point><coordinates><xsl:apply-templates select="point" mode="position"/></coordinates></Point>
        </xsl:when>
        <xsl:when test="@closed = '1' and $n &gt;= 3">
          <Polygon>
            <outerBoundaryIs>
              <LinearRing>
                <coordinates>
                  <xsl:apply-templates select="point" mode="position"/>
                  <xsl:apply-templates select="point[1]" mode="position"/>
                </coordinates>
              </LinearRing>
            </outerBoundaryIs>
          </Polygon>
        </xsl:when>
        <xsl:otherwise>
          <LineString><coordinates><xsl:apply-templates select="point" mode="position"/></coordinates></LineString>
        </xsl:otherwise>
      </xsl:choose>
    </Placemark>
  </xsl:template>

  <!-- KML tuples are separated by white space. -->
  <xsl:template match="point" mode="position">
    <xsl:value-of select="concat(@x, ',', @y, ',', @z, ' ')"/>
  </xsl:template>

  <xsl:template match="point" mode="id">
    <xsl:choose>
      <xsl:when test="$alpha = '1' and string(@name) != ''"><xsl:value-of select="@name"/></xsl:when>
      <xsl:when test="$alpha = '1' and @id"><xsl:value-of select="concat($prefix, @id)"/></xsl:when>
      <xsl:otherwise><xsl:value-of select="@id"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- The names of the blank-separated category ids, separated by ", ". -->
  <xsl:template name="category-names">
    <xsl:param name="ids"/>
    <xsl:param name="first" select="true()"/>
    <xsl:if test="$ids != ''">
      <xsl:variable name="id" select="substring-before(concat($ids, ' '), ' ')"/>
      <xsl:if test="not($first)">, </xsl:if>
      <xsl:choose>
        <xsl:when test="key('category', $id)"><xsl:value-of select="key('category', $id)/@name"/></xsl:when>
        <xsl:otherwise><xsl:value-of select="$id"/></xsl:otherwise>
      </xsl:choose>
      <xsl:call-template name="category-names">
        <xsl:with-param name="ids" select="substring-after($ids, ' ')"/>
        <xsl:with-param name="first" select="false()"/>
      </xsl:call-template>
    </xsl:if>
  </xsl:template>
</xsl:stylesheet>
