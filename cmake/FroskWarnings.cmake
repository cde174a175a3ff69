# Our own code builds warning-free; third-party headers (Qt, GoogleTest) are
# included as system headers so their warnings do not count against us.
function(frosk_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
