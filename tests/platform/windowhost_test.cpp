#include "platform/windowhost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/mainqueue.h"

namespace {

TEST(WindowHost, LoopRunsCallsPostedFromOtherThreadsAndEndsOnQuit) {
    plat::WindowHost host;
    ASSERT_NE(host.CreateWindow("test", 320, 200), nullptr);
    std::atomic<int> ran{0};
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i) plat::MainQueue::Instance().Post([&] { ++ran; });
        plat::MainQueue::Instance().Invoke([&] { EXPECT_TRUE(plat::IsMainThread()); });
        host.Quit(9);
    });
    EXPECT_EQ(host.Run(), 9);
    worker.join();
    EXPECT_EQ(ran.load(), 50);
}

TEST(WindowHost, IdleHandlerRunsUntilDoneAndAgainAfterEvents) {
    plat::WindowHost host;
    const uint32_t ownEvent = SDL_RegisterEvents(1);
    int idleCalls = 0;
    host.SetIdleHandler([&] {
        ++idleCalls;
        if (idleCalls == 3) {
            SDL_Event e{};
            e.type = ownEvent;
            SDL_PushEvent(&e);
        }
        return idleCalls != 2 && idleCalls != 3;  // asks for a second call at once
    });
    int userEvents = 0;
    host.SetEventHandler([&](const SDL_Event& e) {
        if (e.type == ownEvent) ++userEvents;
    });
    std::thread stopper([&] {
        while (true) {
            int seen = 0;
            plat::MainQueue::Instance().Invoke([&] { seen = idleCalls; });
            if (seen >= 4) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        host.Quit();
    });
    host.Run();
    stopper.join();
    EXPECT_EQ(userEvents, 1);
    EXPECT_GE(idleCalls, 4);
}

TEST(WindowHost, CloseRequestEndsTheLoopWithoutAnEventHandler) {
    plat::WindowHost host;
    SDL_Event e{};
    e.type = SDL_QUIT;
    SDL_PushEvent(&e);
    EXPECT_EQ(host.Run(), 0);
}

}  // namespace
