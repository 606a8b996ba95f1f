#pragma once

// A header of the lowest layer.
