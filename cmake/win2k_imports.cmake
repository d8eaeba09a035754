# The executables start on Windows 2000 SP4: after linking, their import tables are checked
# against win2k_imports.txt (check_imports.sh). Call bs_win2k_imports(<target>) once per shipped
# executable.
set(BS_WIN2K_IMPORTS ${CMAKE_CURRENT_LIST_DIR}/win2k_imports.txt)
set(BS_CHECK_IMPORTS ${CMAKE_CURRENT_LIST_DIR}/check_imports.sh)

function(bs_win2k_imports target)
  # The run-time stand-ins of platform/win32/runtime_imports.cpp for what the C++ runtime imports.
  target_link_options(${target} PRIVATE "-Wl,--undefined=__imp__GetModuleHandleExW@12")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${BS_WIN2K_IMPORTS} ${BS_CHECK_IMPORTS})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND bash ${BS_CHECK_IMPORTS} ${CMAKE_OBJDUMP} ${CMAKE_C_COMPILER} ${BS_WIN2K_IMPORTS} $<TARGET_FILE:${target}>
    VERBATIM)
endfunction()
