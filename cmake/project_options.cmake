# Warning and sanitizer flags travel on INTERFACE targets, never as global flags.
add_library(kav_options INTERFACE)
# No -Wnon-virtual-dtor: COM interfaces are interface tables without a
# destructor slot, and objects free themselves in Release.
target_compile_options(kav_options INTERFACE -Wall -Wextra -Werror -Wshadow -Wcast-align -Wunused
  -Woverloaded-virtual -Wnull-dereference -Wformat=2)
if(KAV_SANITIZE)
  # No vptr check: it reads the run-time type information of every object
  # called through a virtual slot, and the plug-ins' COM objects have none
  # (kav_product_options).
  target_compile_options(kav_options INTERFACE -fsanitize=address,undefined -fno-sanitize=vptr
    -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(kav_options INTERFACE -fsanitize=address,undefined)
endif()
if(KAV_SANITIZE_THREAD)
  if(KAV_SANITIZE)
    message(FATAL_ERROR "ThreadSanitizer does not combine with AddressSanitizer: choose one")
  endif()
  target_compile_options(kav_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(kav_options INTERFACE -fsanitize=thread)
endif()
if(KAV_BUILD_FUZZERS)
  # Coverage for libFuzzer in every library the fuzzers load, not only in the fuzzers.
  target_compile_options(kav_options INTERFACE -fsanitize=fuzzer-no-link)
endif()
if(WIN32)
  # Windows programs carry their runtime, so Wine needs no extra DLLs.
  target_link_options(kav_options INTERFACE -static-libgcc -static-libstdc++ -static)
endif()
# The plug-in libraries' own code: the host calls it through C and COM entry
# points, across which no exception may travel, so the compiler is to refuse
# any; nor does it ask for types at run time.
add_library(kav_product_options INTERFACE)
target_compile_options(kav_product_options INTERFACE -fno-exceptions -fno-rtti)
