#pragma once
// RandomSource: non-negative pseudo-random integers for the dithering
// offsets. The program uses the C library's generator, seeded from the
// clock when the main window is created; tests script the draws.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual unsigned Next() = 0;
};

// std::rand(), as seeded by std::srand elsewhere.
class CRandomSource : public RandomSource {
public:
    unsigned Next() override;
};
