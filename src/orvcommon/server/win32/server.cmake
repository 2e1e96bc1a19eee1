# The automation server inside orvcommon.dll: the entry points exported under
# their plain names (orvcommon.def) and the type library, compiled from the
# committed IDL for this architecture, embedded as resource 1.
enable_language(RC)
find_program(ORV_WIDL NAMES ${ORV_MINGW_TRIPLE}-widl widl REQUIRED)
find_path(ORV_WINE_IDL_DIR oaidl.idl PATHS /usr/include/wine/wine/windows NO_DEFAULT_PATH
          NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_path(ORV_WINE_TLB_DIR stdole2.tlb PATHS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(ORV_WIDL_ARCH -m64)
else()
  set(ORV_WIDL_ARCH -m32)
  # The entry points are stdcall (DllGetClassObject@12): the .def names them
  # undecorated, and the linker matches the two without a warning.
  target_link_options(orvcommon PRIVATE -Wl,--enable-stdcall-fixup)
endif()
set(ORV_IDL ${CMAKE_CURRENT_SOURCE_DIR}/server/orvcommon.idl)
set(ORV_TLB ${CMAKE_CURRENT_BINARY_DIR}/orvcommon.tlb)
add_custom_command(OUTPUT ${ORV_TLB}
  COMMAND ${ORV_WIDL} -I${ORV_WINE_IDL_DIR} -L${ORV_WINE_TLB_DIR} ${ORV_WIDL_ARCH} -t
          -o ${ORV_TLB} ${ORV_IDL}
  DEPENDS ${ORV_IDL} COMMENT "Compiling the type library (${ORV_WIDL_ARCH})" VERBATIM)
set(ORV_RC ${CMAKE_CURRENT_BINARY_DIR}/orvcommon.rc)
file(WRITE ${ORV_RC} "1 TYPELIB \"orvcommon.tlb\"\n")
set_source_files_properties(${ORV_RC} PROPERTIES OBJECT_DEPENDS ${ORV_TLB})
target_sources(orvcommon PRIVATE ${ORV_RC} ${CMAKE_CURRENT_SOURCE_DIR}/server/win32/orvcommon.def)
target_include_directories(orvcommon PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
