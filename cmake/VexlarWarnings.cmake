# SPDX-License-Identifier: GPL-3.0-or-later
# Warnings for the project's own targets only (third-party headers are
# included as system headers and stay quiet).
function(vexlar_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
    -Wunused -Woverloaded-virtual -Wnull-dereference -Wdouble-promotion
    -Wformat=2 -Wimplicit-fallthrough)
endfunction()
