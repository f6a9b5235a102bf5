# Text conversion and free disk space: the small services every subsystem uses.
add_library(swk_text STATIC
  ${CMAKE_CURRENT_LIST_DIR}/text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/free_space.cpp
)
target_link_libraries(swk_text PUBLIC swk_platform)
