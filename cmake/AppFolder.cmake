# Assembles the program folder ${MORVELA_APP_DIR} around the executable:
#   演奏记录/  the rhythm pattern (*.bin) and score (*.txt) files of
#             resources/records, copied again whenever one changes;
#   音效/      the six default sound effects, synthesised at build time by the
#             host tool gen_effects (tools/gen_effects.cpp).
# The program itself never creates these folders.

set(MORVELA_RECORD_DIR "${MORVELA_APP_DIR}/演奏记录")
set(MORVELA_EFFECT_DIR "${MORVELA_APP_DIR}/音效")

add_executable(gen_effects tools/gen_effects.cpp)
set_target_properties(gen_effects PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)

set(MORVELA_EFFECT_FILES
  "${MORVELA_EFFECT_DIR}/玻璃1.wav"
  "${MORVELA_EFFECT_DIR}/雷声3.WAV"
  "${MORVELA_EFFECT_DIR}/刹车2.wav"
  "${MORVELA_EFFECT_DIR}/瓦碎.wav"
  "${MORVELA_EFFECT_DIR}/开门声.wav"
  "${MORVELA_EFFECT_DIR}/关门声1.wav")
add_custom_command(
  OUTPUT ${MORVELA_EFFECT_FILES}
  COMMAND gen_effects "${MORVELA_EFFECT_DIR}"
  DEPENDS gen_effects
  COMMENT "Synthesising the sound effects into app/音效"
  VERBATIM)

file(GLOB MORVELA_RECORD_SOURCES CONFIGURE_DEPENDS
  "${CMAKE_SOURCE_DIR}/resources/records/*.bin"
  "${CMAKE_SOURCE_DIR}/resources/records/*.txt")
set(MORVELA_RECORD_FILES)
foreach(src ${MORVELA_RECORD_SOURCES})
  get_filename_component(name "${src}" NAME)
  set(dst "${MORVELA_RECORD_DIR}/${name}")
  add_custom_command(
    OUTPUT "${dst}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${MORVELA_RECORD_DIR}"
    COMMAND ${CMAKE_COMMAND} -E copy "${src}" "${dst}"
    DEPENDS "${src}"
    VERBATIM)
  list(APPEND MORVELA_RECORD_FILES "${dst}")
endforeach()

add_custom_target(morvela_app_folder ALL
  DEPENDS ${MORVELA_EFFECT_FILES} ${MORVELA_RECORD_FILES})
if(TARGET morvela)
  add_dependencies(morvela morvela_app_folder)
endif()
