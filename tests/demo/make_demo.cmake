# Generates the demo game once for all the demo tests (the test demo_generate):
#   cmake -DTOOL=<osterlin-tool> -DOUT=<folder> -P make_demo.cmake
# writes OUT/game, with make-demo's messages in OUT/make.txt.
if(NOT TOOL OR NOT OUT)
  message(FATAL_ERROR "make_demo.cmake needs -DTOOL=<osterlin-tool> -DOUT=<folder>")
endif()
file(REMOVE_RECURSE "${OUT}")
file(MAKE_DIRECTORY "${OUT}")
execute_process(COMMAND "${TOOL}" make-demo "${OUT}/game"
                OUTPUT_FILE "${OUT}/make.txt" ERROR_FILE "${OUT}/make.txt" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(READ "${OUT}/make.txt" messages)
  file(REMOVE_RECURSE "${OUT}/game")
  message(FATAL_ERROR "make-demo failed (${status}):\n${messages}")
endif()
