<?xml version="1.0" encoding="UTF-8"?>
<?vltrx type="out-filter" name="GeoJSON (.geojson)" file-ext="*.geojson;" cmd-ext="geojson"?>
<!--
  vltrx export plug-in: native XML to GeoJSON (RFC 7946).

  Every polygon of one point becomes a Point feature; a polygon of two or
  more points becomes a LineString, or a Polygon when it is closed and has
  at least three points (the ring repeats its first point at the end).
  Properties: the layout and folder path, the point number (or, with
  alphanumeric point ids, the id text or prefix and number), the category
  names and the comment.

  Coordinates are written as stored, [x, y, z] in metres of the survey's own
  system: no reprojection to WGS 84 happens, so a reader that assumes
  longitude and latitude must be told the real coordinate system.

  Parameters (set by vltrx): alpha=1 with alphanumeric point ids, prefix =
  the text put before the number of a point without id text.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="text" encoding="UTF-8"/>
  <xsl:param name="alpha" select="''"/>
  <xsl:param name="prefix" select="'#'"/>

  <xsl:key name="category" match="/velmora/category_ref/category" use="@id"/>

  <xsl:template match="/">
    <xsl:text>{"type":"FeatureCollection","features":[</xsl:text>
    <xsl:for-each select="//mfolder/polygon[point]">
      <xsl:if test="position() &gt; 1">,</xsl:if>
      <xsl:text>&#10;</xsl:text>
      <xsl:apply-templates select="."/>
    </xsl:for-each>
    <xsl:text>&#10;]}&#10;</xsl:text>
  </xsl:template>

  <!-- One feature per polygon. -->
  <xsl:template match="polygon">
    <xsl:variable name="n" select="count(point)"/>
    <xsl:text>{"type":"Feature","geometry":{"type":"</xsl:text>
    <xsl:choose>
      <xsl:when test="$n = 1">
        <xsl:text>Point","coordinates":</xsl:text>
        <xsl:apply-templates select="point" mode="position"/>
      </xsl:when>
      <xsl:when test="@closed = '1' and $n &gt;= 3">
        <xsl:text>Polygon","coordinates":[[</xsl:text>
        <xsl:for-each select="point">
          <xsl:apply-templates select="." mode="position"/>
          <xsl:text>,</xsl:text>
        </xsl:for-each>
        <xsl:apply-templates select="point[1]" mode="position"/>
        <xsl:text>]]</xsl:text>
      </xsl:when>
      <xsl:otherwise>
        <xsl:text>LineString","coordinates":[</xsl:text>
        <xsl:for-each select="point">
          <xsl:if test="position() &gt; 1">,</xsl:if>
          <xsl:apply-templates select="." mode="position"/>
        </xsl:for-each>
        <xsl:text>]</xsl:text>
      </xsl:otherwise>
    </xsl:choose>
    <xsl:text>},"properties":{"layout":</xsl:text>
    <xsl:call-template name="string">
      <xsl:with-param name="text" select="ancestor::mfolder[1]/@name"/>
    </xsl:call-template>
    <xsl:text>,"folder":</xsl:text>
    <xsl:call-template name="string">
      <xsl:with-param name="text">
        <xsl:for-each select="ancestor::subfolder">
          <xsl:if test="position() &gt; 1">/</xsl:if>
          <xsl:value-of select="@name"/>
        </xsl:for-each>
      </xsl:with-param>
    </xsl:call-template>
    <xsl:if test="$n = 1">
      <xsl:apply-templates select="point" mode="id"/>
    </xsl:if>
    <!-- A single point carries its own categories and comment; a line or
         area those of the polygon. -->
    <xsl:variable name="owner" select="self::node()[$n &gt; 1] | point[$n = 1]"/>
    <xsl:text>,"categories":[</xsl:text>
    <xsl:call-template name="category-names">
      <xsl:with-param name="ids" select="normalize-space(translate($owner/@categories, '&#9;', ' '))"/>
    </xsl:call-template>
    <xsl:text>]</xsl:text>
    <xsl:if test="string($owner/@comment) != ''">
      <xsl:text>,"comment":</xsl:text>
      <xsl:call-template name="string">
        <xsl:with-param name="text" select="$owner/@comment"/>
      </xsl:call-template>
    </xsl:if>
    <xsl:text>}}</xsl:text>
  </xsl:template>

  <xsl:template match="point" mode="position">
    <xsl:value-of select="concat('[', @x, ',', @y, ',', @z, ']')"/>
  </xsl:template>

  <!-- The point id: the number, or with alphanumeric ids the id text, else
       prefix and number. -->
  <xsl:template match="point" mode="id">
    <xsl:choose>
      <xsl:when test="$alpha = '1'">
        <xsl:text>,"point_id":</xsl:text>
        <xsl:call-template name="string">
          <xsl:with-param name="text">
            <xsl:choose>
              <xsl:when test="string(@name) != ''"><xsl:value-of select="@name"/></xsl:when>
              <xsl:when test="@id"><xsl:value-of select="concat($prefix, @id)"/></xsl:when>
            </xsl:choose>
          </xsl:with-param>
        </xsl:call-template>
      </xsl:when>
      <xsl:when test="@id">
        <xsl:value-of select="concat(',&quot;point_id&quot;:', @id)"/>
      </xsl:when>
    </xsl:choose>
    <xsl:if test="$alpha != '1' and string(@name) != ''">
      <xsl:text>,"name":</xsl:text>
      <xsl:call-template name="string">
        <xsl:with-param name="text" select="@name"/>
      </xsl:call-template>
    </xsl:if>
  </xsl:template>

  <!-- The names of the blank-separated category ids, as JSON strings. -->
  <xsl:template name="category-names">
    <xsl:param name="ids"/>
    <xsl:param name="first" select="true()"/>
    <xsl:if test="$ids != ''">
      <xsl:variable name="id" select="substring-before(concat($ids, ' '), ' ')"/>
      <xsl:if test="not($first)">,</xsl:if>
      <xsl:call-template name="string">
        <xsl:with-param name="text">
          <xsl:choose>
            <xsl:when test="key('category', $id)"><xsl:value-of select="key('category', $id)/@name"/></xsl:when>
            <xsl:otherwise><xsl:value-of select="$id"/></xsl:otherwise>
          </xsl:choose>
        </xsl:with-param>
      </xsl:call-template>
      <xsl:call-template name="category-names">
        <xsl:with-param name="ids" select="substring-after($ids, ' ')"/>
        <xsl:with-param name="first" select="false()"/>
      </xsl:call-template>
    </xsl:if>
  </xsl:template>

  <!-- A JSON string: quotes and backslashes escaped, line breaks and tabs
       as blanks (XML attribute values hold no other control characters). -->
  <xsl:template name="string">
    <xsl:param name="text"/>
    <xsl:text>"</xsl:text>
    <xsl:call-template name="escape">
      <xsl:with-param name="text" select="translate($text, '&#9;&#10;&#13;', '   ')"/>
    </xsl:call-template>
    <xsl:text>"</xsl:text>
  </xsl:template>

  <xsl:template name="escape">
    <xsl:param name="text"/>
    <xsl:variable name="quote">"</xsl:variable>
    <xsl:choose>
      <xsl:when test="contains($text, '\') and (not(contains($text, $quote)) or string-length(substring-before($text, '\')) &lt; string-length(substring-before($text, $quote)))">
        <xsl:value-of select="substring-before($text, '\')"/>
        <xsl:text>\\</xsl:text>
        <xsl:call-template name="escape">
          <xsl:with-param name="text" select="substring-after($text, '\')"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:when test="contains($text, $quote)">
        <xsl:value-of select="substring-before($text, $quote)"/>
        <xsl:text>\"</xsl:text>
        <xsl:call-template name="escape">
          <xsl:with-param name="text" select="substring-after($text, $quote)"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:otherwise>
        <xsl:value-of select="$text"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>
</xsl:stylesheet>
