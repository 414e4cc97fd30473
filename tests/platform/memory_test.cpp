#include "platform/memory.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/debug_output.h"

TEST(MemoryManager, AllocZeroClearsOddSizes) {
  for (uint32_t size : {1u, 3u, 7u, 9u, 4096u + 3u}) {
    auto* block = static_cast<unsigned char*>(Mem_Alloc_Zero(size));
    for (uint32_t i = 0; i < size; ++i) ASSERT_EQ(block[i], 0) << "size " << size << " byte " << i;
    Mem_Free(block);
  }
}

TEST(MemoryManager, ResizeKeepsContentsAndFreeIgnoresNull) {
  auto* block = static_cast<char*>(Mem_Alloc(4));
  std::memcpy(block, "abc", 4);
  block = static_cast<char*>(Mem_Resize(block, 1000));
  ASSERT_NE(block, nullptr);
  EXPECT_STREQ(block, "abc");
  Mem_Free(block);
  Mem_Free(nullptr);
}

TEST(MemoryManagerDeathTest, ZeroByteRequestEndsTheProgramWithFailureStatus) {
  EXPECT_EXIT(Mem_Alloc(0), testing::ExitedWithCode(1), "Could not allocate 0 bytes!");
}

TEST(MemoryManagerDeathTest, FatalErrorWritesBothLinesOnceWithOrWithoutDebugOutput) {
  for (bool debug : {false, true}) {
    Debug_Output_Set_Enabled(debug);
    EXPECT_EXIT(Fatal_Memory_Error("Not enough memory!"), testing::ExitedWithCode(1),
                "^Memory manager error:\nNot enough memory!\n$")
        << "debug output " << debug;
  }
  Debug_Output_Set_Enabled(false);
}
