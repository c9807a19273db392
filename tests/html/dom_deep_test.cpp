// A chain of elements a million deep is built, searched, rendered, copied
// and destroyed on a thread whose stack is only 1 MB: no operation may
// recurse along the depth of the tree.
#include <gtest/gtest.h>
#include <pthread.h>

#include <chrono>
#include <functional>

#include "html/dom.h"

namespace orvix {
namespace {

constexpr int kDepth = 1000000;

// Runs `work` on a new thread with a `stackBytes` stack and waits for it.
void RunWithStack(std::size_t stackBytes, const std::function<void()>& work) {
  pthread_attr_t attr;
  ASSERT_EQ(pthread_attr_init(&attr), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attr, stackBytes), 0);
  pthread_t thread;
  auto trampoline = [](void* arg) -> void* {
    (*static_cast<const std::function<void()>*>(arg))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attr, trampoline, const_cast<std::function<void()>*>(&work)), 0);
  pthread_attr_destroy(&attr);
  pthread_join(thread, nullptr);
}

TEST(DomDeep, MillionDeepChainWithinOneMegabyteStack) {
  int found = -1;
  std::u16string text;
  int clonedDepth = 0;
  int importedDepth = 0;
  RunWithStack(1 << 20, [&] {
    auto doc = DomImplementation::createEmptyDocument(nullptr);
    TNode* node = doc.get();
    for (int i = 0; i < kDepth; ++i) node = node->appendChild(doc->createElement(i % 2 ? u"b" : u"div"));
    node->appendChild(doc->createTextNode(u"  bottom  "));
    node->appendChild(doc->createEntityReference(u"amp"));

    auto divs = doc->getElementsByTagName(u"div");
    found = divs->length();
    text = doc->documentElement()->text();

    auto copy = doc->documentElement()->cloneNode(true);
    for (const TNode* n = copy.get(); n->hasChildNodes(); n = n->firstChild()) ++clonedDepth;
    copy.reset();

    auto other = DomImplementation::createEmptyDocument(nullptr);
    TNode* imported = other->appendChild(other->importNode(*doc->documentElement(), true));
    for (const TNode* n = imported; n->hasChildNodes(); n = n->firstChild()) ++importedDepth;
    other.reset();
    // doc and its live list go out of scope here: destroyed on this stack too.
  });
  EXPECT_EQ(found, kDepth / 2);
  EXPECT_EQ(text, u"bottom &");
  EXPECT_EQ(clonedDepth, kDepth);
  EXPECT_EQ(importedDepth, kDepth);
}

TEST(DomDeep, InsertionsStayCheapUntilTheListIsRead) {
  // A wide tree with a live list re-read after each of many insertions at
  // the end: each rebuild is one walk, and rebuilds happen only when read.
  auto doc = DomImplementation::createEmptyDocument(nullptr);
  TElement* root = doc->appendChild(doc->createElement(u"table"));
  auto cells = doc->getElementsByTagName(u"td");
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 200000; ++i) root->appendChild(doc->createElement(u"td"));
  EXPECT_EQ(cells->length(), 200000);
  EXPECT_EQ(cells->item(199999), root->lastChild());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

}  // namespace
}  // namespace orvix
