#pragma once
// Work spread over the processor's cores: each index once, on one of at most
// eight threads, the calling one among them. The work must not throw.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

template <class Work>
void ForEachInParallel(std::size_t count, const Work& work) {
    std::atomic<std::size_t> next{0};
    auto run = [&] {
        for (std::size_t i = next++; i < count; i = next++) work(i);
    };
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> threads(std::min<std::size_t>({cores, 8, std::max<std::size_t>(count, 1)}) - 1);
    for (std::thread& thread : threads) thread = std::thread(run);
    run();
    for (std::thread& thread : threads) thread.join();
}
