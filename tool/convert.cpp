// The line-ending conversion.
