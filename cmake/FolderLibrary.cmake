# One static library per source folder: every .cpp and .h of the folder that calls it,
# found again when files are added (CONFIGURE_DEPENDS). Includes are written from the
# top of the tree ("link/Frame.h"). Which folder may include which is the layer table in
# docs/architecture.md, checked by scripts/check-layers.sh; each folder's CMakeLists.txt
# links PUBLIC only what its headers expose.
function(panelbench_folder_library name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()
