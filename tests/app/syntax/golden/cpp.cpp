// shapes.cpp - a small registry of shapes
#pragma once
#include <memory>
#include <string>
#include <vector>
#include "shape.hpp"  // local

#define SHAPES_CHECK(cond) \
    do { if (!(cond)) std::abort(); } while (false)
#ifndef SHAPES_NO_IO
#  include <iostream>
#endif

namespace geo {

/**
 * Base of every shape.
 * @tparam T the coordinate type
 */
template <typename T>
class Shape {
public:
    virtual ~Shape() = default;
    [[nodiscard]] virtual T area() const noexcept = 0;
    virtual std::string name() const { return "shape"; }
};

/// A circle around the origin.
class Circle final : public Shape<double> {
public:
    explicit Circle(double r) : r_(r) {}
    double area() const noexcept override { return 3.141'592'65 * r_ * r_; }
    std::string name() const override { return u8"circle"; }

private:
    double r_ = 0.0;
};

constexpr unsigned long long kBig = 0xFFFF'FFFFull;
constexpr auto kBits = 0b1100'0011;
constexpr float kHalf = .5f;
constexpr char16_t kSmile = u'\u263A';
constexpr wchar_t kTab = L'\t';

static const char *kHelp = R"(usage: shapes [--list]
  prints "areas" {one per line}
)";
static const char *kTagged = R"tag(a ")" inside)tag";

int main(int argc, char **argv)
{
    std::vector<std::unique_ptr<Shape<double>>> shapes;
    shapes.push_back(std::make_unique<Circle>(2.0));
    if (argc > 1 && std::string(argv[1]) == "--list") {
        for (const auto &s : shapes) {
            std::cout << s->name() << ": " << s->area() << '\n';
        }
    } else {
        std::printf("%s\n", kHelp);
    }
    try {
        throw std::runtime_error("no \"shape\" found");
    } catch (const std::exception &e) {
        std::cerr << e.what() << std::endl;
        return 1;
    }
    auto twice = [](int x) -> int { return x * 2; };
    static_assert(sizeof(int) >= 4, "int too small");
    return twice(0) + (kTagged != nullptr ? 0 : 1);
}

}  // namespace geo
