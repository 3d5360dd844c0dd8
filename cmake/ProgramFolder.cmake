# program_folder(<exe target> <data folder name> <output folder>)
# Puts the executable in its own program folder and copies what ships beside it.
function(program_folder target data_name out_dir)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${out_dir})
  set(src_dir ${PROJECT_SOURCE_DIR}/data/${data_name})
  file(GLOB_RECURSE data_files CONFIGURE_DEPENDS ${src_dir}/*)
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}_data.stamp)
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${src_dir} ${out_dir}
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${data_files}
    COMMENT "Laying out the ${target} program folder")
  add_custom_target(${target}_data ALL DEPENDS ${stamp})
  add_dependencies(${target} ${target}_data)
endfunction()

# folder_library(<target> <deps...>): one library per source folder, made of the folder's .cpp
# files (an interface library while the folder has none yet).
function(folder_library target)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${target} PUBLIC ${ARGN})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${target} INTERFACE ${ARGN})
  endif()
endfunction()
