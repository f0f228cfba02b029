# Writes OUT as the files of PARTS one after the other, each preceded by a
# line directive so that the compiler's messages name the original file.
file(WRITE ${OUT} "")
foreach(part ${PARTS})
  file(READ ${part} text)
  file(APPEND ${OUT} "# 1 \"${part}\"\n${text}")
endforeach()
