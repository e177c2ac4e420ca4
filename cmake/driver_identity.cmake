# Writes the identity of the built driver file as a resource script fragment, so that the
# program checks the KESTOVA.SYS beside it before installing it:
#   cmake -DDRIVER=<KESTOVA.SYS> -DOUTPUT=<driver_identity.rc> -P driver_identity.cmake
# The resource holds "<size in bytes> <SHA-1 in lower-case hex>"; without the driver file
# it holds "none", which no file matches.
if(EXISTS "${DRIVER}")
  file(SIZE "${DRIVER}" _size)
  file(SHA1 "${DRIVER}" _sha1)
  set(_identity "${_size} ${_sha1}")
else()
  set(_identity "none")
endif()
file(WRITE "${OUTPUT}.new" "IDR_DRIVER_IDENTITY RCDATA { \"${_identity}\" }\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
