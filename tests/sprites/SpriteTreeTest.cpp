#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/sprites/SpriteFixture.h"

using ::testing::ElementsAre;

namespace {

class SpriteTree : public ::testing::Test {
 protected:
  SpriteTree() : Surface(100, 80) { Engine.SetSurface(&Surface); }

  TLogSprite* Make(const std::string& name, double x = 0, double y = 0, TSprite* parent = nullptr) {
    auto* s = new TLogSprite(parent ? parent : &Engine, name, Log);
    s->X = x;
    s->Y = y;
    return s;
  }
  std::vector<std::string> Drawn() {
    Log.clear();
    Engine.DrawAll();
    return Log;
  }
  std::vector<std::string> Hits(TSprite& searcher, int32_t* count = nullptr) {
    Log.clear();
    const int32_t n = searcher.Collide();
    if (count) *count = n;
    return Log;
  }

  TDirectDrawSurface Surface;
  TSpriteEngine Engine;  // frees whatever a test leaves in the tree
  std::vector<std::string> Log;
};

TEST_F(SpriteTree, LaterSiblingWithEqualZIsDrawnUnderneath) {
  TLogSprite* a = Make("a");
  TLogSprite* b = Make("b");
  TLogSprite* c = Make("c");
  EXPECT_THAT(Drawn(), ElementsAre("draw c", "draw b", "draw a"));
  a->SetZ(0);  // same value: stays where it is
  EXPECT_THAT(Drawn(), ElementsAre("draw c", "draw b", "draw a"));
  b->SetZ(5);
  EXPECT_THAT(Drawn(), ElementsAre("draw c", "draw a", "draw b"));
  b->SetZ(0);  // re-inserted under its new equals
  EXPECT_THAT(Drawn(), ElementsAre("draw b", "draw c", "draw a"));
  c->SetZ(-1);
  EXPECT_THAT(Drawn(), ElementsAre("draw c", "draw b", "draw a"));
  EXPECT_EQ(Engine.DrawnCount, 3);
}

TEST_F(SpriteTree, FreeingUnlinksAtOnceAndTakesTheChildrenAlong) {
  TLogSprite* a = Make("a");
  TLogSprite* b = Make("b");
  Make("a1", 0, 0, a);
  Make("a2", 0, 0, a);
  EXPECT_EQ(Engine.SpriteCount, 4);
  EXPECT_EQ(Engine.Count(), 2);
  EXPECT_EQ(a->Child(1)->Parent, a);
  EXPECT_EQ(a->Child(1)->Engine, &Engine);
  delete a;
  EXPECT_EQ(Engine.SpriteCount, 1);
  EXPECT_EQ(Engine.Count(), 1);
  EXPECT_EQ(Engine.Child(0), b);
  EXPECT_THAT(Drawn(), ElementsAre("draw b"));
  delete b;
  EXPECT_EQ(Engine.SpriteCount, 0);
  // The list went with its last child: asking for a child is the sprite's own error again.
  try {
    Engine.Child(0);
    FAIL();
  } catch (const ESpriteError& e) {
    EXPECT_STREQ(e.what(), "Index of the list exceeds the range. (0)");
  }
  Make("c");
  EXPECT_THROW(Engine.Child(1), std::out_of_range);
  EXPECT_THROW(Engine.Child(-1), std::out_of_range);
}

TEST_F(SpriteTree, WorldPositionAddsTheParents) {
  TLogSprite* a = Make("a", 10.5, 20);
  TLogSprite* a1 = Make("a1", -3, 2.75, a);
  EXPECT_DOUBLE_EQ(a1->WorldX(), 7.5);
  EXPECT_DOUBLE_EQ(a1->WorldY(), 22.75);
  const TRect r = a1->BoundsRect();
  EXPECT_EQ(r.Left, 7);
  EXPECT_EQ(r.Top, 22);
  EXPECT_EQ(r.Right, 17);
  EXPECT_EQ(r.Bottom, 32);
}

TEST_F(SpriteTree, CanMoveFalseStopsTheWholeSubtree) {
  TLogSprite* a = Make("a");
  Make("a1", 0, 0, a);
  Make("b");
  Log.clear();
  Engine.MoveAll(2);
  EXPECT_THAT(Log, ElementsAre("move a 2", "move a1 2", "move b 2"));
  a->CanMove = false;
  Log.clear();
  Engine.MoveAll(1);
  EXPECT_THAT(Log, ElementsAre("move b 1"));
}

TEST_F(SpriteTree, ChildrenAreCountedAfterTheirParentsAdvance) {
  // A child made in its parent's own step moves at once; a sibling made by an earlier
  // sibling's step lies beyond the count already taken and waits for the next pass.
  TLogSprite* a = Make("a");
  a->OnAdvance = [&] {
    if (a->Count() == 0) Make("a1", 0, 0, a);
  };
  TLogSprite* b = Make("b");
  b->OnAdvance = [&] {
    if (Engine.Count() == 2) Make("c");
  };
  Log.clear();
  Engine.MoveAll(1);
  EXPECT_THAT(Log, ElementsAre("move a 1", "move a1 1", "move b 1"));
  Log.clear();
  Engine.MoveAll(1);
  EXPECT_THAT(Log, ElementsAre("move a 1", "move a1 1", "move b 1", "move c 1"));
}

TEST_F(SpriteTree, OnlySpritesOverlappingTheSurfaceAreRendered) {
  // The surface is 100 x 80; sprites are 10 x 10.
  struct {
    double X, Y;
    bool Rendered;
  } cases[] = {{0, 0, true},     {95, 75, true},   {-9.5, 0, true},  {-10, 0, false},
               {100, 0, false},  {0, 80, false},   {0, -10, false},  {99.9, 79.9, true},
               {-300, -300, false}, {1e12, 0, false}};
  for (const auto& c : cases) {
    TLogSprite* s = Make("s", c.X, c.Y);
    EXPECT_EQ(Drawn().size(), c.Rendered ? 1u : 0u) << c.X << "," << c.Y;
    EXPECT_EQ(Engine.DrawnCount, c.Rendered ? 1 : 0);
    delete s;
  }
}

TEST_F(SpriteTree, InvisibleSpriteHidesItsChildren) {
  TLogSprite* a = Make("a", -50, -50);  // culled itself, its child still draws
  Make("a1", 60, 60, a);
  Make("b", 5, 5);
  EXPECT_THAT(Drawn(), ElementsAre("draw b", "draw a1"));
  a->Visible = false;
  EXPECT_THAT(Drawn(), ElementsAre("draw b"));
  EXPECT_EQ(Engine.DrawnCount, 1);
}

TEST_F(SpriteTree, RectanglesThatOnlyTouchDoNotCollide) {
  TLogSprite* s = Make("s", 20, 20);
  struct {
    double X, Y;
    bool Hit;
  } cases[] = {{30, 20, false}, {10, 20, false}, {20, 30, false}, {20, 10, false},
               {29, 29, true},  {11, 11, true},  {30, 30, false}, {20, 20, true}};
  for (const auto& c : cases) {
    TLogSprite* o = Make("o", c.X, c.Y);
    int32_t n = -1;
    EXPECT_EQ(Hits(*s, &n).size(), c.Hit ? 1u : 0u) << c.X << "," << c.Y;
    EXPECT_EQ(n, c.Hit ? 1 : 0);
    delete o;
  }
  EXPECT_EQ(Engine.HitSprite, s);
}

TEST_F(SpriteTree, CollisionSearchWalksTheTreeAndPrunesNonCollidingSubtrees) {
  TLogSprite* s = Make("s", 20, 20);
  TLogSprite* a = Make("a", 25, 25);
  Make("a1", -3, -3, a);  // world (22, 22)
  TLogSprite* b = Make("b", 60, 60);  // far away itself, its child is not
  Make("b1", -35, -35, b);
  EXPECT_THAT(Hits(*s), ElementsAre("hit a", "hit a1", "hit b1"));
  a->CanCollide = false;
  EXPECT_THAT(Hits(*s), ElementsAre("hit b1"));
  EXPECT_EQ(Engine.HitCount, 1);
  // A searcher that does not collide finds nothing.
  s->CanCollide = false;
  int32_t n = -1;
  EXPECT_TRUE(Hits(*s, &n).empty());
  EXPECT_EQ(n, 0);
  // A sprite without an engine neither.
  TLogSprite loose(nullptr, "loose", Log);
  EXPECT_EQ(loose.Collide(), 0);
}

TEST_F(SpriteTree, CollisionSearchEndsEarly) {
  TLogSprite* s = Make("s", 20, 20);
  TLogSprite* a = Make("a", 21, 21);
  Make("a1", 0, 0, a);
  Make("b", 22, 22);
  // HitDone set by the hit ends the search, children included.
  s->OnHit = [](bool& done) { done = true; };
  int32_t n = 0;
  EXPECT_THAT(Hits(*s, &n), ElementsAre("hit a"));
  EXPECT_EQ(n, 1);
  // So does the searcher losing its CanCollide (it blew up).
  s->OnHit = [&](bool&) { s->CanCollide = false; };
  EXPECT_THAT(Hits(*s), ElementsAre("hit a"));
  EXPECT_TRUE(Engine.HitDone);
  s->CanCollide = true;
  s->OnHit = nullptr;
  EXPECT_THAT(Hits(*s, &n), ElementsAre("hit a", "hit a1", "hit b"));
  EXPECT_EQ(n, 3);
}

TEST(ImageSprite, AnimationSteps) {
  struct {
    bool Loop;
    int32_t Length;
    double Frame, Rate;
    int32_t MoveCount;
    double NewFrame, NewRate;
    int32_t Pattern;
  } cases[] = {
      {true, 4, 3.9, 0.225, 1, 0.125, 0.225, 0},      // wraps to the first pattern
      {true, 4, 0.2, -0.5, 1, 3.7, -0.5, 3},          // backwards wraps to the end
      {true, 4, 1.0, 0.5, 3, 2.5, 0.5, 2},            // the move count scales the step
      {true, 4, 0.0, 9.0, 1, 1.0, 9.0, 1},            // several turns at once
      {true, 0, 2.0, 1.0, 1, 0.0, 1.0, 0},            // no length: stays at 0
      {false, 3, 1.5, 0.5, 1, 2.0, 0.5, 2},           // one-shot, still running
      {false, 3, 2.5, 1.0, 1, 2.0, 0.0, 2},           // stops on its last pattern
      {false, 3, 0.2, -1.0, 1, 0.0, 0.0, 0},          // and never below the first
      {false, 0, 0.0, 0.0, 1, 0.0, 0.0, 0},           // a still picture with no patterns
  };
  for (const auto& c : cases) {
    TImageSprite s(nullptr);
    s.AnimLoop = c.Loop;
    s.AnimLength = c.Length;
    s.AnimFrame = c.Frame;
    s.AnimRate = c.Rate;
    s.AnimFirst = 10;
    s.Advance(c.MoveCount);
    EXPECT_NEAR(s.AnimFrame, c.NewFrame, 1e-9) << c.Frame << " + " << c.Rate;
    EXPECT_EQ(s.AnimRate, c.NewRate);
    EXPECT_EQ(s.PatternIndex(), 10 + c.Pattern);
  }
}

TEST_F(SpriteTree, TiledBoundsWrapAroundTheSurface) {
  // 100 x 80 surface, a 10 x 20 sprite: the horizontal period is 110, the vertical 100.
  struct {
    double X, Y;
    int32_t Left, Top;
  } cases[] = {{0, 0, 0, 0},       {100, 80, 100, 80},  {101, 81, -9, -19}, {110, 100, 0, 0},
               {-5, -5, -5, -5},   {-10, -20, 100, 80}, {-11, -21, 99, 79}, {215, 250, -5, 50},
               {-215, -250, 5, 50}};
  for (const auto& c : cases) {
    TImageSprite s(&Engine);
    s.Width = 10;
    s.Height = 20;
    s.X = c.X;
    s.Y = c.Y;
    s.Tiled = true;
    const TRect r = s.BoundsRect();
    EXPECT_EQ(r.Left, c.Left) << c.X;
    EXPECT_EQ(r.Top, c.Top) << c.Y;
    EXPECT_EQ(r.Right, c.Left + 10);
    EXPECT_EQ(r.Bottom, c.Top + 20);
    s.Tiled = false;
    EXPECT_EQ(s.BoundsRect().Left, int32_t(c.X));
  }
}

}  // namespace
