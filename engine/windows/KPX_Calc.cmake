# KPX_Calc.dll: the seven KPX_* exports and the four self-registration entry points, by
# name in the standard calling convention (a module-definition file). It imports the
# property functions of ASEREP32.dll by ordinal, through an import library that knows
# only the ordinals, so it does not load without that DLL.
set(KV_KPX_CALC_DEF ${CMAKE_CURRENT_BINARY_DIR}/KPX_Calc.def)
kv_windows_def(${KV_KPX_CALC_DEF} KPX_Calc.dll FUNCTIONS
               KPX_Initialize:4 KPX_GetRefrigerant:12 KPX_GetFamily:12 KPX_GetPower:12
               KPX_GetModel:24 KPX_GetModelData:12 KPX_Rating:76 KPX_RatingFigures:60
               KPX_RatingTranscritical:68 KPX_OptimumGasCoolerPressure:60
               KPX_SpeedData:24 KPX_RatingAtSpeed:84 KPX_SpeedRange:64 KPX_MatchCapacity:88
               DllRegisterServer:0 DllUnregisterServer:0 DllCanUnloadNow:0
               DllGetClassObject:12)

set(KV_ASEREP32_ORDINALS_DEF ${CMAKE_CURRENT_BINARY_DIR}/ASEREP32-ordinals.def)
set(KV_ASEREP32_ORDINALS_LIB ${CMAKE_CURRENT_BINARY_DIR}/libASEREP32-ordinals.a)
kv_windows_def(${KV_ASEREP32_ORDINALS_DEF} ASEREP32.dll NONAME FUNCTIONS ${KV_ASEREP32_FUNCTIONS})
add_custom_command(OUTPUT ${KV_ASEREP32_ORDINALS_LIB}
                   COMMAND ${CMAKE_DLLTOOL} --input-def ${KV_ASEREP32_ORDINALS_DEF}
                           --dllname ASEREP32.dll --output-lib ${KV_ASEREP32_ORDINALS_LIB}
                   DEPENDS ${KV_ASEREP32_ORDINALS_DEF}
                   COMMENT "Import library of ASEREP32.dll by ordinal" VERBATIM)
add_custom_target(kv_asere32_ordinals DEPENDS ${KV_ASEREP32_ORDINALS_LIB})

# Catalogue files are read through the Windows file functions (ANSI paths, no sharing).
target_sources(kpx_engine_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/read_whole_file.cpp)
target_sources(KPX_Calc PRIVATE ${CMAKE_CURRENT_LIST_DIR}/selfreg.cpp)
kv_windows_dll(KPX_Calc ${KV_KPX_CALC_DEF})
target_link_libraries(KPX_Calc PRIVATE kpx_engine_core ${KV_ASEREP32_ORDINALS_LIB} kv_warnings)
target_include_directories(KPX_Calc PRIVATE $<TARGET_PROPERTY:ASEREP32,INTERFACE_INCLUDE_DIRECTORIES>)
add_dependencies(KPX_Calc kv_asere32_ordinals ASEREP32)
set_property(TARGET KPX_Calc APPEND PROPERTY LINK_DEPENDS ${KV_ASEREP32_ORDINALS_LIB})
install(TARGETS KPX_Calc RUNTIME DESTINATION . LIBRARY DESTINATION .)
