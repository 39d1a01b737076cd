# The fd-image command-line tool, driven by a shell script over ImageMagick pictures.
add_test(NAME fd_image_tool COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/fd_image_test.sh $<TARGET_FILE:fd-image>)
