# Writes OUT: a source file holding the text of each *.dlg file in DIR (found here, not passed
# as a list, so that a path with blanks stays one path).
set(body "")
file(GLOB files "${DIR}/*.dlg")
list(SORT files)
foreach(f ${files})
  file(READ "${f}" text)
  get_filename_component(name "${f}" NAME)
  string(APPEND body "    {\"${name}\", R\"r7kdialog(${text})r7kdialog\"},\n")
endforeach()
file(WRITE "${OUT}.tmp" "// Generated from src/app/dialogs/*.dlg; do not edit.\n#include \"app/dialog_texts.h\"\n\nnamespace r7k {\n\nstd::span<const DialogText> AppDialogTexts() {\n  static const DialogText kTexts[] = {\n${body}    {nullptr, nullptr}};\n  return {kTexts, sizeof(kTexts) / sizeof(kTexts[0]) - 1};\n}\n\n}  // namespace r7k\n")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different "${OUT}.tmp" "${OUT}")
