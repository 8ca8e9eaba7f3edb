# Compiler settings shared by every target of the project, carried by one
# interface target so that they are stated once.
add_library(quillsnap_compile_options INTERFACE)
target_compile_features(quillsnap_compile_options INTERFACE cxx_std_20)
target_compile_options(quillsnap_compile_options INTERFACE -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
if(QUILLSNAP_WERROR)
  target_compile_options(quillsnap_compile_options INTERFACE -Werror)
endif()
target_compile_definitions(quillsnap_compile_options INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CAST_TO_ASCII
  QT_NO_CAST_FROM_BYTEARRAY
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_NO_URL_CAST_FROM_STRING
  QT_DISABLE_DEPRECATED_BEFORE=0x060400
  QUILLSNAP_VERSION="${PROJECT_VERSION}")
if(QUILLSNAP_SANITIZE)
  target_compile_options(quillsnap_compile_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(quillsnap_compile_options INTERFACE -fsanitize=address,undefined)
endif()
if(QUILLSNAP_BUILD_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "The fuzz targets need clang (libFuzzer): use the fuzz preset")
  endif()
  # Coverage instrumentation for libFuzzer on every library; the fuzz targets
  # add the libFuzzer runtime and its main().
  target_compile_options(quillsnap_compile_options INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
    -fno-sanitize-recover=undefined)
  target_link_options(quillsnap_compile_options INTERFACE -fsanitize=address,undefined)
endif()
