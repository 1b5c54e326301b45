# The program's pictures, compiled into the platform library and read with
# plat::LoadResImage / LoadResPicture / LoadResCursor (src/platform/resources.*).
# The string table is C++ (resources/strings.inc), included by resources.cpp.
#
# The PNGs are drawn by tools/gen_images.cpp and committed; the generator is
# built only with -DMORVELA_BUILD_TOOLS=ON, and the target regen_images
# redraws resources/images/ in the source tree.

set(MORVELA_RESOURCE_IMAGES
  resources/images/app_icon.png
  resources/images/key_white_up.png
  resources/images/key_white_down.png
  resources/images/key_black_up.png
  resources/images/key_black_down.png
  resources/images/splash.png
  resources/images/rec_play_up.png
  resources/images/rec_play_down.png
  resources/images/rec_stop_up.png
  resources/images/rec_stop_down.png
  resources/images/rec_record_up.png
  resources/images/rec_record_down.png
  resources/images/keyboard_map.png
  resources/images/key_cursor.png
)

# On a static library this also creates an object library that every program
# linking morvela_platform receives, so the bundle registers itself at start.
qt_add_resources(morvela_platform "morvela_resources"
  PREFIX "/"
  BASE ${CMAKE_SOURCE_DIR}/resources
  FILES ${MORVELA_RESOURCE_IMAGES})

option(MORVELA_BUILD_TOOLS "Build the picture generator (tools/gen_images)" OFF)
if(MORVELA_BUILD_TOOLS)
  add_executable(gen_images tools/gen_images.cpp)
  target_link_libraries(gen_images PRIVATE Qt6::Gui)
  set_target_properties(gen_images PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
  add_custom_target(regen_images
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            $<TARGET_FILE:gen_images> ${CMAKE_SOURCE_DIR}/resources/images
    DEPENDS gen_images
    COMMENT "Drawing resources/images"
    VERBATIM)
endif()

if(MORVELA_BUILD_TOOLS)
  add_executable(snapshot tools/snapshot.cpp)
  target_link_libraries(snapshot PRIVATE morvela_keyboard morvela_editor)
  set_target_properties(snapshot PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
endif()
