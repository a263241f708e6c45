# What the programs need beside them on a Windows PC with nothing installed:
# Qt's DLLs and plugins, and the compiler's runtime. Included by
# CMakeLists.txt beside it.

# A native Qt kit deploys itself through Qt's deploy script (windeployqt). A
# cross-compiled kit has no deploy tool, so the DLLs and the plugins the
# window loads are copied from the kit; Qt finds plugins in folders beside
# the executable.
if(CMAKE_CROSSCOMPILING)
  install(FILES $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>
          DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>
          DESTINATION ${CMAKE_INSTALL_BINDIR}/platforms)
  # The native look: the Vista style up to Qt 6.6, the modern one from 6.7.
  foreach(style Qt6::QWindowsVistaStylePlugin Qt6::QModernWindowsStylePlugin)
    if(TARGET ${style})
      install(FILES $<TARGET_FILE:${style}> DESTINATION ${CMAKE_INSTALL_BINDIR}/styles)
    endif()
  endforeach()
elseif(Qt6_VERSION VERSION_LESS 6.5)
  qt_generate_deploy_app_script(TARGET orvanne-flasher FILENAME_VARIABLE deployScript
                                NO_UNSUPPORTED_PLATFORM_ERROR)
  install(SCRIPT ${deployScript})
else()
  qt_generate_deploy_app_script(TARGET orvanne-flasher OUTPUT_SCRIPT deployScript
                                NO_UNSUPPORTED_PLATFORM_ERROR)
  install(SCRIPT ${deployScript})
endif()

# The compiler's runtime. MinGW: Qt's DLLs import the shared C++ runtime, and
# our programs link the same DLLs, so that each process has one C++ runtime.
# MSVC: the Visual C++ runtime DLLs, installed beside the programs.
if(MINGW)
  get_filename_component(compilerDir "${CMAKE_CXX_COMPILER}" DIRECTORY)
  foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE dllPath OUTPUT_STRIP_TRAILING_WHITESPACE)
    # Debian's cross compiler keeps them with its libraries, a Windows MinGW
    # beside gcc.exe.
    if(NOT IS_ABSOLUTE "${dllPath}")
      set(dllPath ${compilerDir}/${dll})
    endif()
    if(NOT EXISTS "${dllPath}")
      message(FATAL_ERROR "${dll}, MinGW's runtime, is neither on the compiler's library path nor beside it")
    endif()
    install(FILES ${dllPath} DESTINATION ${CMAKE_INSTALL_BINDIR})
  endforeach()
elseif(MSVC)
  set(CMAKE_INSTALL_SYSTEM_RUNTIME_DESTINATION ${CMAKE_INSTALL_BINDIR})
  include(InstallRequiredSystemLibraries)
endif()
