# The built-in images (two ROM images and the demo module), generated at build time by a
# deterministic program and embedded by src/module/builtin_images.cc.
set(R7K_BUILTIN_IMAGE_DIR ${PROJECT_BINARY_DIR}/builtin_images CACHE INTERNAL "")
set(R7K_BUILTIN_IMAGE_FILES
    ${R7K_BUILTIN_IMAGE_DIR}/R7kRom.r7v
    ${R7K_BUILTIN_IMAGE_DIR}/R7kRomx.r7v
    ${R7K_BUILTIN_IMAGE_DIR}/demo.r7v
    ${R7K_BUILTIN_IMAGE_DIR}/builtin_images_digest.h
    CACHE INTERNAL "")

# The generator builds on the module format code itself (not the r7k_module library, which
# embeds its output).
set(module_dir ${PROJECT_SOURCE_DIR}/src/module)
add_executable(r7k_imagegen
  ${CMAKE_CURRENT_LIST_DIR}/builtin_images_main.cc
  ${CMAKE_CURRENT_LIST_DIR}/image_builder.cc
  ${CMAKE_CURRENT_LIST_DIR}/pattern_gen.cc
  ${CMAKE_CURRENT_LIST_DIR}/technique_gen.cc
  ${module_dir}/address.cc
  ${module_dir}/directory.cc
  ${module_dir}/pattern.cc
  ${module_dir}/pattern_runs.cc
  ${module_dir}/sector.cc
  ${module_dir}/technique.cc
  ${module_dir}/validate.cc)
target_include_directories(r7k_imagegen PRIVATE ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_LIST_DIR})
set_target_properties(r7k_imagegen PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tools)

# A cross build runs the generator of a host build (R7K_HOST_IMAGEGEN, set by
# scripts/build-windows): the images are the same bytes on every system.
set(R7K_HOST_IMAGEGEN "" CACHE FILEPATH "The host build's r7k_imagegen, for a cross build")
if(CMAKE_CROSSCOMPILING)
  if(NOT R7K_HOST_IMAGEGEN)
    message(FATAL_ERROR "A cross build needs -DR7K_HOST_IMAGEGEN=<host build>/tools/r7k_imagegen")
  endif()
  set(imagegen ${R7K_HOST_IMAGEGEN})
else()
  set(imagegen r7k_imagegen)
endif()
add_custom_command(
  OUTPUT ${R7K_BUILTIN_IMAGE_FILES}
  COMMAND ${imagegen} ${R7K_BUILTIN_IMAGE_DIR}
  DEPENDS ${imagegen}
  COMMENT "Generating the built-in images"
  VERBATIM)
add_custom_target(r7k_builtin_image_files DEPENDS ${R7K_BUILTIN_IMAGE_FILES})
