// The automation object model over the console session: documents the
// session opens appear in the model's collection, documents the model makes
// join the session, and a document the user closes while a script holds its
// object detaches that object.
#include "app/console_automation_host.h"

#include <gtest/gtest.h>

#include <sstream>

#include "automation/model/model_objects.h"

namespace tidemark::console {
namespace {

using namespace tidemark::com;
using NS_SCRIPT::CApp;

class ConsoleAutomation : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(LiveObjectCount(), 0); }
  std::ostringstream out_, err_;
  Session session_{out_, err_, false};
};

TEST_F(ConsoleAutomation, CloseByTheUserDetachesTheHeldObject) {
  ConsoleAutomationHost host(session_);
  ComRef<CApp> app = CApp::Create(host);
  ASSERT_TRUE(app);
  ASSERT_EQ(session_.Execute("new 8000 1"), Result::kDone);
  IDocuments* raw_docs = nullptr;
  ASSERT_EQ(app->get_Documents(&raw_docs), S_OK);
  const ComRef<IDocuments> docs = ComRef<IDocuments>::Adopt(raw_docs);
  LONG count = 0;
  ASSERT_EQ(docs->get_Count(&count), S_OK);
  EXPECT_EQ(count, 1);
  IDocument* raw = nullptr;
  ASSERT_EQ(docs->get_Item(0, &raw), S_OK);
  const ComRef<IDocument> first = ComRef<IDocument>::Adopt(raw);
  // A document the model adds is the session's newest and active one.
  ASSERT_EQ(docs->Add(4000, 2, &raw), S_OK);
  const ComRef<IDocument> second = ComRef<IDocument>::Adopt(raw);
  ASSERT_EQ(session_.documents().size(), 2u);
  EXPECT_EQ(session_.active_number(), 2);
  ASSERT_EQ(first->Activate(VARIANT_FALSE), S_OK);
  EXPECT_EQ(session_.active_number(), 1);
  // The user closes document 1 while the script holds it.
  ASSERT_EQ(session_.Execute("close! 1"), Result::kDone);
  double length = 0;
  EXPECT_EQ(first->get_Length(&length), E_ACCESSDENIED);
  EXPECT_EQ(second->get_Length(&length), S_OK);
  ASSERT_EQ(docs->get_Count(&count), S_OK);
  EXPECT_EQ(count, 1);
  // Closing through the model closes the session's document.
  ASSERT_EQ(second->Close(), S_OK);
  EXPECT_TRUE(session_.documents().empty());
}

}  // namespace
}  // namespace tidemark::console
