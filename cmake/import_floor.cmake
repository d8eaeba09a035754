# The executables start on the oldest Windows of their kind: Windows 2000 SP4 for the i686 build,
# Windows XP Professional x64 Edition for the x86_64 one. After linking, their import tables are
# checked against that floor's lists (check_imports.sh). Call bs_check_imports(<target>) once per
# shipped executable.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  # The Windows 2000 list and what XP x64 adds for the x86_64 runtime.
  set(BS_IMPORT_LISTS ${CMAKE_CURRENT_LIST_DIR}/win2k_imports.txt ${CMAKE_CURRENT_LIST_DIR}/xp64_imports.txt)
  set(BS_IMPORT_FLOOR "Windows XP x64")
  set(BS_IMPORT_WINNT 0x0502)
  set(BS_IMPORT_NTDDI 0x05020100)  # Server 2003 SP1, the base of XP x64
  # The import pointer of runtime_imports.cpp, undecorated on x86_64.
  set(BS_RUNTIME_IMPORT_SYMBOL __imp_GetModuleHandleExW)
else()
  set(BS_IMPORT_LISTS ${CMAKE_CURRENT_LIST_DIR}/win2k_imports.txt)
  set(BS_IMPORT_FLOOR "Windows 2000 SP4")
  set(BS_IMPORT_WINNT 0x0500)
  set(BS_IMPORT_NTDDI 0x05000400)
  set(BS_RUNTIME_IMPORT_SYMBOL __imp__GetModuleHandleExW@12)
endif()
set(BS_CHECK_IMPORTS ${CMAKE_CURRENT_LIST_DIR}/check_imports.sh)

function(bs_check_imports target)
  # The run-time stand-ins of platform/win32/runtime_imports.cpp for what the C++ runtime imports.
  target_link_options(${target} PRIVATE "-Wl,--undefined=${BS_RUNTIME_IMPORT_SYMBOL}")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${BS_IMPORT_LISTS} ${BS_CHECK_IMPORTS})
  string(REPLACE ";" ":" lists "${BS_IMPORT_LISTS}")
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND bash ${BS_CHECK_IMPORTS} ${CMAKE_OBJDUMP} ${CMAKE_C_COMPILER} ${lists} $<TARGET_FILE:${target}>
            "${BS_IMPORT_FLOOR}" ${BS_IMPORT_WINNT} ${BS_IMPORT_NTDDI}
    VERBATIM)
endfunction()
