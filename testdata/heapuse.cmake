# The heap bytes a program holds and its peak (operator new and delete replaced, or the
# sanitizers' hooks), for memory bounds in tests and benchmarks. Only programs that measure link
# it.
nav_component(testdata_heapuse STEP 0
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/heapuse.cpp)
