# Warnings are errors in all three builds. Added after third-party code
# (GoogleTest) so that only our own targets get them.
add_compile_options(-Wall -Wextra -Werror)
