# Native builds run the portable code under AddressSanitizer and UndefinedBehaviorSanitizer;
# benchmarks compile their own unsanitized copy.
option(ZP_SANITIZE "Build portable libraries and their tests with ASan and UBSan" ON)
function(zp_sanitize target)
  if(ZP_SANITIZE AND NOT WIN32)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=all
                                             -fno-omit-frame-pointer)
    target_link_options(${target} PUBLIC -fsanitize=address,undefined)
  endif()
endfunction()
