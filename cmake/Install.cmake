# Install rules: `cmake --install build --prefix DIR` lays out DIR as an installed toolkit.
#   DIR/bin/emulator, DescPick, trayhost, modlink-linkd, modsim   programs
#   DIR/bin/libsublime-x64.so, libregaccess-x64.so                 libraries (DLLs on Windows)
#   DIR/bin/WM_Debug_config.ini                                    debug settings with defaults
#   DIR/lib/                                                       the SDK's API libraries go here
# Only the targets of the configured components are installed.
foreach(program emulator DescPick trayhost modlink-linkd modsim)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION bin)
  endif()
endforeach()
foreach(library sublime regaccess)
  if(TARGET ${library})
    install(TARGETS ${library} LIBRARY DESTINATION bin RUNTIME DESTINATION bin)
  endif()
endforeach()
if(TARGET emulator)
  install(FILES ${CMAKE_SOURCE_DIR}/emulator/WM_Debug_config.ini DESTINATION bin)
  install(DIRECTORY DESTINATION lib)
endif()
