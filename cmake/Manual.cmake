# The user manual as HTML pages, made from the Markdown in docs/ with
# python3-markdown (scripts/make-manual.py), in the build's share/doc/vltrx
# with the pictures they show: a vltrx-gui run from the build folder opens
# them with F1 as the installed one opens /usr/share/doc/vltrx/manual.html.
# Without python3-markdown the program ships the Markdown manuals alone.

set(VLTRX_DOC_BUILD ${CMAKE_BINARY_DIR}/share/doc/vltrx)
# The screenshots the pages show, taken by the gui tests (docs/gui.md says how).
set(VLTRX_MANUAL_PICTURES
    gui-main-en.png gui-main-de.png gui-options-en.png gui-options-de.png
    formats/gui-dxf-in-en.png formats/gui-dxf-in-de.png)

# Debian's interpreter, which has the markdown module; a python3 earlier in
# PATH (pyenv, a virtualenv) usually has not.
find_program(VLTRX_DEBIAN_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
set(VLTRX_HTML_MANUAL OFF)
if(VLTRX_DEBIAN_PYTHON)
  execute_process(COMMAND ${VLTRX_DEBIAN_PYTHON} -c "import markdown"
    RESULT_VARIABLE markdown_missing OUTPUT_QUIET ERROR_QUIET)
  if(markdown_missing EQUAL 0)
    set(VLTRX_HTML_MANUAL ON)
  endif()
endif()

if(VLTRX_HTML_MANUAL)
  set(pictures)
  foreach(p IN LISTS VLTRX_MANUAL_PICTURES)
    list(APPEND pictures ${VLTRX_ROOT}/docs/${p})
  endforeach()
  set(pages)
  foreach(manual IN ITEMS "manual;en" "manual-de;de")
    list(GET manual 0 name)
    list(GET manual 1 language)
    add_custom_command(OUTPUT ${VLTRX_DOC_BUILD}/${name}.html
      COMMAND ${VLTRX_DEBIAN_PYTHON} ${VLTRX_ROOT}/scripts/make-manual.py
              ${VLTRX_ROOT}/docs/${name}.md ${VLTRX_DOC_BUILD}/${name}.html ${language}
      DEPENDS ${VLTRX_ROOT}/docs/${name}.md ${VLTRX_ROOT}/scripts/make-manual.py ${pictures}
      COMMENT "Manual ${name}.html"
      VERBATIM)
    list(APPEND pages ${VLTRX_DOC_BUILD}/${name}.html)
  endforeach()
  add_custom_target(manual ALL DEPENDS ${pages})
  install(FILES ${pages} DESTINATION share/doc/vltrx)
else()
  message(WARNING "python3-markdown is missing (scripts/setup.sh installs it): "
                  "the HTML manual is not built, only the Markdown one is installed")
endif()

install(FILES
    ${VLTRX_ROOT}/docs/manual.md
    ${VLTRX_ROOT}/docs/manual-de.md
    ${VLTRX_ROOT}/docs/gui-main-en.png
    ${VLTRX_ROOT}/docs/gui-main-de.png
    ${VLTRX_ROOT}/docs/gui-options-en.png
    ${VLTRX_ROOT}/docs/gui-options-de.png
    ${VLTRX_ROOT}/docs/gui-options-ru.png
  DESTINATION share/doc/vltrx)
