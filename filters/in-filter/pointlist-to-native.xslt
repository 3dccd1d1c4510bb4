<?xml version="1.0" encoding="UTF-8"?>
<!--
  Companion of pointlist.xsl: a simple XML point list to vltrx native XML.

  <points> holds <point> elements (each a single point) and <line> elements
  (closed="1" for an area, comment) holding <point> elements. A point has
  x, y and z in metres (required), and optionally id (a whole number), name
  (an alphanumeric id) and comment. The layout is named by the parameter
  "layout" (vltrx passes the input file's name).
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="xml" encoding="ISO-8859-1" indent="no"/>
  <xsl:param name="layout" select="'Points'"/>

  <xsl:template match="/">
    <velmora version="2.12">
      <xsl:text>&#10;</xsl:text>
      <measurements preferred_system="XYZ">
        <xsl:text>&#10;</xsl:text>
        <mfolder name="{$layout}">
          <xsl:text>&#10;</xsl:text>
          <xsl:apply-templates select="points/point | points/line"/>
        </mfolder>
        <xsl:text>&#10;</xsl:text>
      </measurements>
      <xsl:text>&#10;</xsl:text>
    </velmora>
  </xsl:template>

  <xsl:template match="points/point">
    <polygon>
      <xsl:text>&#10;</xsl:text>
      <xsl:apply-templates select="." mode="point"/>
    </polygon>
    <xsl:text>&#10;</xsl:text>
  </xsl:template>

  <xsl:template match="line">
    <polygon>
      <xsl:if test="@closed = '1'"><xsl:attribute name="closed">1</xsl:attribute></xsl:if>
      <xsl:copy-of select="@comment"/>
      <xsl:text>&#10;</xsl:text>
      <xsl:apply-templates select="point" mode="point"/>
    </polygon>
    <xsl:text>&#10;</xsl:text>
  </xsl:template>

  <xsl:template match="point" mode="point">
    <point>
      <xsl:copy-of select="@id | @name | @x | @y | @z | @comment"/>
    </point>
    <xsl:text>&#10;</xsl:text>
  </xsl:template>
</xsl:stylesheet>
