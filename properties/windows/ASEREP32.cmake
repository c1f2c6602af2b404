# ASEREP32.dll: ILK_Revision and the six property functions, by name and at their
# ordinals, in the standard calling convention (a module-definition file; nothing else is
# exported). No "lib" prefix: callers load it as ASEREP32.dll.
set(KV_ASEREP32_DEF ${CMAKE_CURRENT_BINARY_DIR}/ASEREP32.def)
kv_windows_def(${KV_ASEREP32_DEF} ASEREP32.dll FUNCTIONS ${KV_ASEREP32_FUNCTIONS})
kv_windows_dll(ASEREP32 ${KV_ASEREP32_DEF})
install(TARGETS ASEREP32 RUNTIME DESTINATION . LIBRARY DESTINATION .)
