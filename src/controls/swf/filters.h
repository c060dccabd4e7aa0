// Filters drawn on an object's offscreen layer, and a colour transform applied to a
// whole layer. Layers are ARGB32 premultiplied images, changed in place.
#pragma once

#include "controls/swf/movie.h"

#include <QImage>
#include <QMargins>

namespace velmora::swf {

// pixelsPerStagePixel: the device scale, as filter sizes are given in stage pixels.
struct FilterScale {
    double pixelsPerStagePixel = 1;
    double pixels(double stagePixels) const { return stagePixels * pixelsPerStagePixel; }
};

// How far past the object the filters of a list can draw, in device pixels.
QMargins filterReach(const std::vector<Filter> &filters, FilterScale scale);
// What applying the filters costs, in steps per layer pixel: a step is one value of
// one plane read or written once (a blur pass runs each way, a kernel tap per channel).
double filterWorkPerPixel(const std::vector<Filter> &filters);
// Applies the filters in list order.
void applyFilters(QImage &layer, const std::vector<Filter> &filters, FilterScale scale);
void applyColorTransform(QImage &layer, const ColorTransform &cx);

// The filter families, each in its own unit.
void applyBlur(QImage &layer, const Filter &blur, FilterScale scale);
void applyShadow(QImage &layer, const Filter &shadow, FilterScale scale); // drop shadow, glows
void applyBevel(QImage &layer, const Filter &bevel, FilterScale scale);   // bevels
void applyConvolution(QImage &layer, const Filter &convolution);

} // namespace velmora::swf
