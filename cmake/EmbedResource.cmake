# Writes a C++ file holding the bytes of IN and registering them as resource NAME of TYPE.
file(READ ${IN} _hex HEX)
string(LENGTH "${_hex}" _len)
math(EXPR _size "${_len} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
file(WRITE ${OUT} "#include \"platform/resources.h\"\n"
  "namespace {\nconst unsigned char kData[] = {${_bytes} 0};\n"
  "const plat::ResourceRegistration kReg(\"${NAME}\", \"${TYPE}\", kData, ${_size});\n}\n")
