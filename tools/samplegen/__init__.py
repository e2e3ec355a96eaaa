"""Content of the sample payload that stands in for the product's files in default builds."""
