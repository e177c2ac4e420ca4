# One warning set for every target of the tree; warnings are errors on every preset.
add_library(kestova_warnings INTERFACE)
target_compile_options(kestova_warnings INTERFACE
  -Wall -Wextra -Werror -Wshadow -Wformat=2 -Wcast-qual -Wpointer-arith
  -Wundef -Wnon-virtual-dtor -Woverloaded-virtual -Wmissing-declarations
  -Wno-missing-field-initializers)
