"""Pieces of the demo-song generator: sound synthesis, artwork, the song and the chart writer."""
