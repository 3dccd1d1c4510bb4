<?xml version="1.0" encoding="UTF-8"?>
<?vltrx type="in-filter" name="XML point list (.pointlist)" file-ext="*.pointlist;" cmd-ext="pointlist"?>
<!--
  vltrx import plug-in: a simple XML point list, turned into native XML by
  xsltproc with pointlist-to-native.xslt and then read by vltrx itself.

  The point list (see pointlist-to-native.xslt for every attribute):

    <points>
      <point id="1" x="512340.118" y="5401210.442" z="312.215" comment="Nail"/>
      <line closed="1" comment="House">
        <point id="2" x="..." y="..." z="..."/> ...
      </line>
    </points>

  Commands run in the program folder, without a shell: every placeholder
  stays one argument whatever it holds, so no quotes are needed.
-->
<recipe>
<?exec cmdline="xsltproc --nonet --stringparam layout %INFNAME% -o %TRXTMP%/%INFNAME%.xml ../share/vltrx/filters/in-filter/pointlist-to-native.xslt %INFILE%" success_operator="==" success_code="0"?>
<?load cmdline="%TRXTMP%/%INFNAME%.xml -in:xml %PID_IMP_OPT%"?>
</recipe>
