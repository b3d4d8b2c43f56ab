# CLI11, the header-only parser of the tools' command lines. Its headers are
# the same for every target, so they are looked for on the build machine even
# when cross-compiling. Targets see them through a folder of our own that
# holds them alone: the build machine's include folder would also bring its
# C library's headers into the MinGW build.
find_path(KAV_CLI11_INCLUDE CLI/CLI.hpp NO_CMAKE_FIND_ROOT_PATH)
if(NOT KAV_CLI11_INCLUDE)
  message(FATAL_ERROR "CLI11 (CLI/CLI.hpp) not found: install libcli11-dev, as scripts/install-deps.sh does")
endif()
set(kav_cli11_folder ${CMAKE_BINARY_DIR}/cli11)
file(MAKE_DIRECTORY ${kav_cli11_folder})
file(CREATE_LINK ${KAV_CLI11_INCLUDE}/CLI ${kav_cli11_folder}/CLI SYMBOLIC)
add_library(kav_cli11 INTERFACE)
target_include_directories(kav_cli11 SYSTEM INTERFACE ${kav_cli11_folder})
