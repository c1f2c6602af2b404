// Arrays of conditions for the module's functions: named NumPy arrays of one shape, a
// scalar standing for every element.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace kvpy {

namespace py = pybind11;

using Array = py::array_t<double, py::array::c_style | py::array::forcecast>;

// Named arrays of one shape, a scalar standing for every element; any value that is no
// finite number is a usage error.
struct Inputs {
    std::vector<Array> arrays;
    std::vector<py::ssize_t> shape;
    py::ssize_t size = 1;

    Inputs(const std::vector<std::pair<const char*, py::handle>>& named) {
        const char* shapeOf = nullptr;
        for (const auto& [name, value] : named) {
            Array a = Array::ensure(value);
            if (!a) {
                PyErr_Clear();
                throw py::value_error(std::string(name) + " is no number or array of numbers");
            }
            const std::vector<py::ssize_t> s(a.shape(), a.shape() + a.ndim());
            if (a.ndim() > 0) {
                if (shapeOf != nullptr && s != shape)
                    throw py::value_error(std::string(name) + " has another shape than " + shapeOf +
                                          ": the arrays must have one shape");
                shapeOf = name;
                shape = s;
            }
            const double* d = a.data();
            for (py::ssize_t i = 0; i < a.size(); ++i)
                if (!std::isfinite(d[i]))
                    throw py::value_error(std::string(name) +
                                          " holds a value that is no finite "
                                          "number (index " +
                                          std::to_string(i) + ")");
            arrays.push_back(std::move(a));
        }
        for (py::ssize_t n : shape)
            size *= n;
    }
    // Element i of argument k.
    double at(std::size_t k, py::ssize_t i) const {
        const Array& a = arrays[k];
        return a.data()[a.ndim() == 0 ? 0 : i];
    }
};

} // namespace kvpy
