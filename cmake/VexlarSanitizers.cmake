# SPDX-License-Identifier: GPL-3.0-or-later
if(VEXLAR_TSAN AND VEXLAR_ASAN)
  message(FATAL_ERROR "VEXLAR_TSAN and VEXLAR_ASAN cannot be combined")
endif()
if(VEXLAR_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=thread)
endif()
if(VEXLAR_ASAN)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined -g)
  add_link_options(-fsanitize=address,undefined)
endif()
# Fuzz builds: every library carries the fuzzer's coverage instrumentation and
# ASan + UBSan, and any sanitizer report stops the run (a report that lets the
# fuzzer go on would be lost among millions of executions).
if(VEXLAR_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined)
endif()
