if(FROSK_SANITIZE)
  add_compile_options(-fsanitize=${FROSK_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${FROSK_SANITIZE})
endif()
