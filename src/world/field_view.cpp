// The field view: the camera with per-layer scrolling, and the conversion
// of field positions into view positions with a sorting depth.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "world/field.h"
#include "world/field_manager.h"

void field::setup_view(int32_t layer_count, int32_t max_zorder, float x_coefficient, float y_coefficient) {
    field_manager* m = field_manager::instance();
    if (!m) return;
    field_view_state& v = m->view;
    if (layer_count > 0) {
        v.end_slot = v.first_slot + layer_count;
        v.offsets.resize(size_t(layer_count), {0.0f, 0.0f});
    }
    v.max_zorder = max_zorder > 0 ? max_zorder : v.fallback_zorder;
    v.x_coefficient = x_coefficient;
    v.y_coefficient = y_coefficient;
    v.x_span = std::fabs(x_coefficient) * float(v.width + 2 * v.margin_width);
    v.y_span = std::fabs(y_coefficient) * float(v.height + 2 * v.margin_height);
    const float sum = v.x_span + v.y_span;
    v.position_weight = sum > 0.0f ? sum : 1.0f;
    v.slot_weight = float(v.max_zorder + 1) * v.position_weight;
    v.normaliser = float(v.end_slot + 1) * (v.slot_weight + 1.0f);
}

void field::set_view(const float p[3], bool clamp) {
    field_manager* m = field_manager::instance();
    if (!m) return;
    field_view_state& v = m->view;
    v.point[0] = p[0], v.point[1] = p[1], v.point[2] = p[2];
    const field* f = m->current_field();
    if (!f || f->layers.empty()) return;
    const int32_t count = int32_t(f->layers.size());
    int32_t L = int32_t(p[2]);
    if (L < 0) L = 0;
    if (L > count - 1) L = count - 1;
    const field_layer& ref = f->layers[size_t(L)];
    const int32_t hw = v.width / 2, hh = v.height / 2;
    float x = p[0], y = p[1];
    if (clamp) {
        if (int32_t(p[0]) - hw < 0)
            x = float(hw);
        else if (ref.cx < int32_t(p[0]) + hw)
            x = float(ref.cx - hw);
        if (int32_t(p[1]) - hh < 0)
            y = float(hh);
        else if (ref.cy < int32_t(p[1]) + hh)
            y = float(ref.cy - hh);
        v.point[0] = x, v.point[1] = y, v.point[2] = float(L);
    }
    if (v.offsets.size() != size_t(count)) v.offsets.resize(size_t(count), {0.0f, 0.0f});
    if (!clamp) {
        for (auto& o : v.offsets) o = {x - float(hw), y - float(hh)};
    } else {
        const float fx = ref.cx > v.width ? (x - float(hw)) / float(ref.cx - v.width) : 1.0f;
        const float fy = ref.cy > v.height ? (y - float(hh)) / float(ref.cy - v.height) : 1.0f;
        for (int32_t i = 0; i < count; ++i) {
            const field_layer& l = f->layers[size_t(i)];
            v.offsets[size_t(i)] = {float(l.cx - v.width) * fx, float(l.cy - v.height) * fy};
        }
    }
    v.origin[0] = v.offsets[size_t(L)][0];
    v.origin[1] = v.offsets[size_t(L)][1];
    v.origin[2] = float(L);
}

void field::position_to_view(int32_t zorder, const float p[3], float out[3]) {
    field_manager* m = field_manager::instance();
    if (!m) {
        out[0] = p[0], out[1] = p[1], out[2] = 0.0f;
        return;
    }
    const field_view_state& v = m->view;
    const field* f = m->current_field();
    int32_t L = int32_t(p[2]);
    // The zorder: an absolute slot, or a shift of slots and a sub-level.
    const int32_t mz = v.max_zorder > 0 ? v.max_zorder : 1;
    int32_t shift = 0, sub = 0, absolute = -1;
    if (zorder >= v.absolute_step && v.absolute_step > 0) {
        absolute = zorder / v.absolute_step - 1;
        sub = zorder % v.absolute_step;
    } else if (zorder > 0) {
        shift = zorder / mz;
        sub = zorder % mz;
    } else if (zorder < 0) {
        shift = -((-zorder) / mz);
        sub = -((-zorder) % mz);
    }
    float rx, ry;
    int32_t slot;
    if (L < 0) {
        rx = p[0], ry = p[1];
        slot = v.first_slot + L;
        if (slot < 0) slot = 0;
    } else if (f && !f->layers.empty() && !v.offsets.empty()) {
        const int32_t last = int32_t(std::min(f->layers.size(), v.offsets.size())) - 1;
        if (L > last) L = last;
        rx = p[0] - v.offsets[size_t(L)][0];
        ry = p[1] - v.offsets[size_t(L)][1];
        slot = v.end_slot - L - 1;
    } else {
        rx = p[0] - v.point[0];
        ry = p[1] - v.point[1];
        slot = v.end_slot - 1;
    }
    if (absolute >= 0) {
        slot = absolute;
    } else if (shift != 0) {
        slot -= shift;
        if (slot < 0) slot = 0;
        if (slot > v.end_slot) slot = v.end_slot;
    }
    const float cx = v.x_coefficient, cy = v.y_coefficient;
    const float fx = cx >= 0.0f ? (v.x_span - (float(v.margin_width) + rx)) * cx : -cx * (float(v.margin_width) + rx);
    const float fy = cy >= 0.0f ? (v.y_span - (float(v.margin_height) + ry)) * cy : -cy * (float(v.margin_height) + ry);
    out[0] = rx;
    out[1] = ry;
    out[2] = (v.slot_weight * float(slot) + fy + fx + float(v.max_zorder - (sub + v.zorder_base)) * v.position_weight) /
             v.normaliser;
}

void field::view_to_position(const float view[2], float z, float out[3]) {
    out[0] = view[0], out[1] = view[1], out[2] = z;
    field_manager* m = field_manager::instance();
    const field* f = m ? m->current_field() : nullptr;
    const int32_t L = int32_t(z);
    if (!f || L < 0 || size_t(L) >= f->layers.size() || size_t(L) >= m->view.offsets.size()) return;
    out[0] += m->view.offsets[size_t(L)][0];
    out[1] += m->view.offsets[size_t(L)][1];
}
