// A layer's fields read and written as text, by their entries in the table.
#include "pages/layer.h"

#include "common/wholenumber.h"

#include <cstdint>

namespace {

std::string Joined(const std::vector<std::string>& rows) {
    std::string text;
    for (std::size_t i = 0; i < rows.size(); ++i)
        text += (i ? "\n" : "") + rows[i];
    return text;
}

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> rows;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        rows.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return rows;
}

// The layer a new one of the kind is, before any field is given.
Layer Fresh(LayerKind kind) {
    Layer layer;
    layer.kind = kind;
    return layer;
}

} // namespace

const LayerKindInfo& KindInfo(LayerKind kind) {
    return kLayerKindInfo[int(kind)];
}

const LayerField* FieldOf(LayerKind kind, const std::string& key) {
    for (const LayerField& field : kLayerFields)
        if (HasField(field, kind) && key == field.key)
            return &field;
    return nullptr;
}

std::string FieldText(const LayerField& field, const Layer& constLayer) {
    // The places hand out references for writing; reading goes through them too.
    Layer& layer = const_cast<Layer&>(constLayer);
    switch (field.type) {
    case FieldType::Whole:
    case FieldType::Level:
        return std::to_string(field.place.whole(layer));
    case FieldType::Flag:
        return field.place.flag(layer) ? "true" : "false";
    case FieldType::Choice:
        return field.choices.words[field.place.choice(layer)];
    case FieldType::Rows:
        return Joined(field.place.rows(layer));
    case FieldType::Words:
    case FieldType::Text:
    case FieldType::File:
    case FieldType::FontName:
    case FieldType::GroupName:
        break;
    }
    return field.place.words(layer);
}

bool SetFieldText(const LayerField& field, Layer& layer, const std::string& text,
                  std::string& why) {
    switch (field.type) {
    case FieldType::Whole:
    case FieldType::Level: {
        std::optional<std::int64_t> number = WholeNumber(text, field.lowest, field.highest);
        if (!number) {
            why = RangeText(field.key, field.lowest, field.highest);
            return false;
        }
        field.place.whole(layer) = int(*number);
        return true;
    }
    case FieldType::Flag:
        if (text != "1" && text != "0" && text != "true" && text != "false") {
            why = std::string(field.key) + " must be true or false";
            return false;
        }
        field.place.flag(layer) = text == "1" || text == "true";
        return true;
    case FieldType::Choice:
        for (int i = 0; i < field.choices.count; ++i)
            if (text == field.choices.words[i]) {
                field.place.choose(layer, i);
                return true;
            }
        why = "\"" + text + "\" is not one of " + field.key + "'s choices";
        return false;
    case FieldType::Rows:
        field.place.rows(layer) = Split(text);
        return true;
    case FieldType::Words:
    case FieldType::Text:
    case FieldType::File:
    case FieldType::FontName:
    case FieldType::GroupName:
        break;
    }
    field.place.words(layer) = text;
    return true;
}

bool IsDefault(const LayerField& field, const Layer& layer) {
    return FieldText(field, layer) == FieldText(field, Fresh(layer.kind));
}

void ResetField(const LayerField& field, Layer& layer) {
    std::string ignored;
    SetFieldText(field, layer, FieldText(field, Fresh(layer.kind)), ignored);
}

std::string LayerKindList() {
    std::string list;
    for (int i = 0; i < kLayerKinds; ++i)
        list += std::string(i == 0                 ? ""
                            : i + 1 == kLayerKinds ? " or "
                                                   : ", ") +
                kLayerKindNames[i];
    return list;
}

std::string RangeText(const char* key, int lowest, int highest) {
    return std::string(key) + " must be a whole number from " + std::to_string(lowest) + " to " +
           std::to_string(highest);
}
