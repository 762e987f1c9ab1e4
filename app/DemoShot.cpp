#include "app/DemoShot.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace pxhost {
namespace {

struct Rgb {
    float r, g, b;
};

Rgb mix(Rgb a, Rgb b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

float clamp01(float v) { return std::min(1.0f, std::max(0.0f, v)); }

float smoothstep(float e0, float e1, float x) {
    const float t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

// Deterministic hash noise in [-1, 1].
float hashNoise(uint32_t x, uint32_t y, uint32_t seed) {
    uint32_t h = x * 374761393u + y * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return static_cast<float>(h & 0xffffu) / 32767.5f - 1.0f;
}

// Smooth value noise at a scale of `cell` pixels, in [-1, 1].
float valueNoise(float x, float y, float cell, uint32_t seed) {
    const float fx = x / cell, fy = y / cell;
    const float ix = std::floor(fx), iy = std::floor(fy);
    const float tx = smoothstep(0, 1, fx - ix), ty = smoothstep(0, 1, fy - iy);
    const auto cx = static_cast<uint32_t>(static_cast<int32_t>(ix));
    const auto cy = static_cast<uint32_t>(static_cast<int32_t>(iy));
    const float a = hashNoise(cx, cy, seed), b = hashNoise(cx + 1, cy, seed);
    const float c = hashNoise(cx, cy + 1, seed), d = hashNoise(cx + 1, cy + 1, seed);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

void store(Raster& raster, int x, int y, Rgb c) {
    uint16_t* px = raster.data<uint16_t>() + (static_cast<size_t>(y) * raster.width + x) * 4;
    px[kSampleR] = static_cast<uint16_t>(clamp01(c.r) * 65535.0f + 0.5f);
    px[kSampleG] = static_cast<uint16_t>(clamp01(c.g) * 65535.0f + 0.5f);
    px[kSampleB] = static_cast<uint16_t>(clamp01(c.b) * 65535.0f + 0.5f);
}

// Signed distance to an ellipse (approximate; exact enough for soft edges).
float ellipseDistance(float x, float y, float cx, float cy, float rx, float ry) {
    const float dx = (x - cx) / rx, dy = (y - cy) / ry;
    const float k = std::sqrt(dx * dx + dy * dy);
    return (k - 1.0f) * std::min(rx, ry);
}

// Signed distance to a box with rounded corners.
float roundBoxDistance(float x, float y, float cx, float cy, float hw, float hh, float radius) {
    const float qx = std::fabs(x - cx) - hw + radius, qy = std::fabs(y - cy) - hh + radius;
    const float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
    return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - radius;
}

// Hair strands, splatted into a coverage buffer: each strand a quadratic curve from the scalp
// outwards, a pixel or less wide, so that its coverage is mostly partial.
std::vector<float> hairCoverage(int width, int height, float scale, float headX, float headY,
                                float headR) {
    std::vector<float> cover(static_cast<size_t>(width) * height, 0.0f);
    const int strands = 420;
    for (int s = 0; s < strands; ++s) {
        const float u = (s + 0.5f) / strands;
        // Roots along the top half of the head, from ear to ear.
        const float angle = 3.14159265f * (1.05f + 0.9f * u) + 0.05f * hashNoise(s, 1, 7);
        const float rootX = headX + std::cos(angle) * headR * 0.92f;
        const float rootY = headY + std::sin(angle) * headR * 0.92f;
        const float reach = headR * (0.35f + 0.45f * (0.5f + 0.5f * hashNoise(s, 2, 7)));
        const float outward = angle + 0.35f * hashNoise(s, 3, 7);
        const float tipX = rootX + std::cos(outward) * reach + 60.0f * scale * (u - 0.5f);
        const float tipY = rootY + std::sin(outward) * reach + 0.4f * reach;  // hangs down
        const float ctrlX = (rootX + tipX) / 2 + std::cos(outward) * reach * 0.4f;
        const float ctrlY = (rootY + tipY) / 2 + std::sin(outward) * reach * 0.4f;
        const float strength = 0.45f + 0.5f * (0.5f + 0.5f * hashNoise(s, 4, 7));
        const float halfWidth = scale * (0.35f + 0.3f * (0.5f + 0.5f * hashNoise(s, 5, 7)));
        const int steps = static_cast<int>(reach * 2.5f) + 8;
        for (int i = 0; i <= steps; ++i) {
            const float t = static_cast<float>(i) / steps;
            const float a = (1 - t) * (1 - t), b = 2 * (1 - t) * t, c = t * t;
            const float px = a * rootX + b * ctrlX + c * tipX;
            const float py = a * rootY + b * ctrlY + c * tipY;
            const float fade = strength * (1.0f - 0.7f * t);  // thinner towards the tip
            const int x0 = static_cast<int>(std::floor(px - 2)), y0 = static_cast<int>(py - 2);
            for (int y = std::max(0, y0); y <= std::min(height - 1, y0 + 4); ++y)
                for (int x = std::max(0, x0); x <= std::min(width - 1, x0 + 4); ++x) {
                    const float dx = x + 0.5f - px, dy = y + 0.5f - py;
                    const float d = std::sqrt(dx * dx + dy * dy);
                    const float cov = fade * clamp01(halfWidth + 0.5f - d);
                    float& dst = cover[static_cast<size_t>(y) * width + x];
                    dst = std::max(dst, cov);
                }
        }
    }
    return cover;
}

}  // namespace

namespace {

// The foreground, and with it, when `coverage` is given, how much of each pixel the things in
// front of the screen cover (0 to 1): what a perfect key's matte would be.
Raster renderDemoShot(int width, int height, std::vector<float>* coverage) {
    Raster raster;
    raster.allocate(width, height, 2, kChanRGB);
    if (coverage) coverage->assign(static_cast<size_t>(width) * height, 0.0f);
    const float scale = height / 1080.0f;
    const Rgb screen = {kDemoScreen[0], kDemoScreen[1], kDemoScreen[2]};
    const float headX = width * 0.5f, headY = 380 * scale, headR = 150 * scale;
    const std::vector<float> hair = hairCoverage(width, height, scale, headX, headY, headR);
    const Rgb skin = {0.78f, 0.55f, 0.42f}, shirt = {0.55f, 0.12f, 0.10f};
    const Rgb hairColour = {0.80f, 0.62f, 0.32f}, scarf = {0.90f, 0.88f, 0.85f};

    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float fx = x + 0.5f, fy = y + 0.5f;
            // The screen: brighter in the middle, falling off to the corners and the floor,
            // with broad blotches and a soft cast shadow to the right of the subject.
            const float nx = fx / width - 0.5f, ny = fy / height - 0.45f;
            float light = 1.05f - 0.55f * (nx * nx + ny * ny) - 0.08f * (fy / height);
            light += 0.05f * valueNoise(fx, fy, 260 * scale, 11);
            const float shadowD =
                roundBoxDistance(fx, fy, width * 0.5f + 330 * scale, height * 0.82f, 260 * scale,
                                 320 * scale, 120 * scale);
            light *= 1.0f - 0.45f * (1.0f - smoothstep(-60 * scale, 60 * scale, shadowD));
            Rgb c = {screen.r * light, screen.g * light, screen.b * light};

            // The subject: head and body, hard-edged on the left, soft on the right as if
            // moving. Spill from the screen tints it blue near its edges.
            const float headD = ellipseDistance(fx, fy, headX, headY, headR * 0.85f, headR);
            const float neckD = roundBoxDistance(fx, fy, headX, headY + 170 * scale, 55 * scale,
                                                 60 * scale, 20 * scale);
            const float bodyD = roundBoxDistance(fx, fy, headX, height * 0.86f, 330 * scale,
                                                 300 * scale, 140 * scale);
            const float skinD = std::min(headD, neckD);
            const float d = std::min(skinD, bodyD);
            const float softness = scale * (1.0f + 14.0f * smoothstep(-0.1f, 0.3f, nx));
            const float cover = clamp01(0.5f - d / softness);
            if (cover > 0) {
                Rgb subject = skinD < bodyD ? skin : shirt;
                // Folds in the shirt, shading on the face.
                const float shade = 0.85f + 0.15f * valueNoise(fx, fy, 140 * scale, 3);
                subject = {subject.r * shade, subject.g * shade, subject.b * shade};
                const float spill = 0.35f * std::exp(-std::max(0.0f, -d) / (30 * scale)) + 0.04f;
                subject.b += spill * screen.b;
                subject.g += 0.3f * spill * screen.g;
                c = mix(c, subject, cover);
            }

            // A badge of nearly the screen's blue on the shirt.
            const float badgeD = ellipseDistance(fx, fy, headX + 150 * scale, height * 0.72f,
                                                 38 * scale, 38 * scale);
            c = mix(c, {0.12f, 0.24f, 0.70f}, clamp01(0.5f - badgeD / scale));

            // A lighting stand at the right edge of the frame.
            const float standD = std::fabs(fx - width * 0.94f) - 9 * scale;
            if (fy > height * 0.08f) c = mix(c, {0.35f, 0.35f, 0.36f}, clamp01(0.5f - standD));

            // A semi-transparent white chiffon scarf over the left shoulder and hanging past it.
            const float scarfD = roundBoxDistance(fx, fy, headX - 300 * scale, height * 0.72f,
                                                  180 * scale, 40 * scale, 30 * scale) +
                                 12 * scale * std::sin(fx / (35 * scale));
            const float scarfCover = 0.5f * clamp01(0.5f - scarfD / (3 * scale));
            c = mix(c, scarf, scarfCover);

            // Hair over everything.
            const float h = hair[static_cast<size_t>(y) * width + x];
            c = mix(c, {hairColour.r, hairColour.g, hairColour.b + 0.15f * screen.b}, h);

            if (coverage) {
                // Each layer covers its share of what the layers behind it leave visible.
                float uncovered = 1.0f - cover;
                uncovered *= 1.0f - clamp01(0.5f - badgeD / scale);
                if (fy > height * 0.08f) uncovered *= 1.0f - clamp01(0.5f - standD);
                uncovered *= 1.0f - scarfCover;
                uncovered *= 1.0f - h;
                (*coverage)[static_cast<size_t>(y) * width + x] = 1.0f - uncovered;
            }

            // Grain.
            const float grain = 0.006f * hashNoise(x, y, 5);
            store(raster, x, y, {c.r + grain, c.g + grain, c.b + grain});
        }
    }
    return raster;
}

}  // namespace

Raster makeDemoForeground(int width, int height) { return renderDemoShot(width, height, nullptr); }

Raster makeDemoCoverage(int width, int height) {
    std::vector<float> coverage;
    renderDemoShot(width, height, &coverage);
    Raster raster;
    raster.allocate(width, height, 2, kChanRGBA);
    uint16_t* px = raster.data<uint16_t>();
    for (float v : coverage) {
        const auto sample = static_cast<uint16_t>(clamp01(v) * 65535.0f + 0.5f);
        px[0] = px[1] = px[2] = px[3] = sample;
        px += 4;
    }
    return raster;
}

namespace {

// A grey 8-bit matte: coverage of the shape given by its signed distance, feathered.
template <typename Distance>
Raster makeMatte(int width, int height, Distance distance) {
    Raster raster;
    raster.allocate(width, height, 1, kChanRGBA);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const float v = clamp01(0.5f - distance(x + 0.5f, y + 0.5f));
            const auto sample = static_cast<uint8_t>(v * 255.0f + 0.5f);
            uint8_t* px = raster.data<uint8_t>() + (static_cast<size_t>(y) * width + x) * 4;
            px[0] = px[1] = px[2] = px[3] = sample;
        }
    return raster;
}

}  // namespace

Raster makeDemoHoldOut(int width, int height) {
    const float scale = height / 1080.0f;
    return makeMatte(width, height, [=](float x, float y) {
        return ellipseDistance(x, y, width * 0.5f + 150 * scale, height * 0.72f, 44 * scale,
                               44 * scale) /
               (4 * scale);
    });
}

Raster makeDemoGarbage(int width, int height) {
    const float scale = height / 1080.0f;
    return makeMatte(width, height, [=](float x, float) {
        return (std::fabs(x - width * 0.94f) - 30 * scale) / (4 * scale);
    });
}

Raster makeDemoBackground(int width, int height) {
    Raster raster;
    raster.allocate(width, height, 2, kChanRGB);
    const float scale = height / 1080.0f;
    const Rgb skyTop = {0.20f, 0.32f, 0.60f}, horizon = {0.98f, 0.62f, 0.32f};
    const Rgb hillNear = {0.16f, 0.22f, 0.12f}, hillFar = {0.42f, 0.36f, 0.38f};
    const float sunX = width * 0.72f, sunY = height * 0.48f;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float fx = x + 0.5f, fy = y + 0.5f;
            Rgb c = mix(skyTop, horizon, smoothstep(0, height * 0.62f, fy));
            // The sun and its glow.
            const float sd = std::hypot(fx - sunX, fy - sunY) / scale;
            const float glow = std::exp(-sd / 180.0f) * 0.5f + (sd < 60 ? 1.0f : 0.0f);
            c = {c.r + glow, c.g + glow * 0.8f, c.b + glow * 0.45f};
            // Far and near hills.
            const float far = height * 0.60f + 40 * scale * std::sin(fx / (210 * scale)) +
                              25 * scale * std::sin(fx / (77 * scale) + 1.3f);
            if (fy > far) c = mix(c, hillFar, clamp01((fy - far) / scale + 0.5f));
            const float nearY = height * 0.70f + 60 * scale * std::sin(fx / (340 * scale) + 2) +
                                12 * scale * valueNoise(fx, 0, 50 * scale, 9);
            if (fy > nearY) {
                const float ground = 0.8f + 0.2f * valueNoise(fx, fy, 70 * scale, 4);
                const Rgb g = {hillNear.r * ground, hillNear.g * ground, hillNear.b * ground};
                c = mix(c, g, clamp01((fy - nearY) / scale + 0.5f));
            }
            const float grain = 0.004f * hashNoise(x, y, 6);
            store(raster, x, y, {c.r + grain, c.g + grain, c.b + grain});
        }
    }
    return raster;
}

}  // namespace pxhost
