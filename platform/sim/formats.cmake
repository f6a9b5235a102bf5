# The file formats the simulated machine reads and writes: export names of PE images
# (for LoadLibraryA / GetProcAddress) and shell link files (for IPersistFile::Save).
target_sources(swk_sim PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/pe_image.cpp
  ${CMAKE_CURRENT_LIST_DIR}/shell_link_file.cpp
)
