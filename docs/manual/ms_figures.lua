-- pandoc writes no pictures into groff "ms" documents: a paragraph holding only a picture
-- becomes groff's PDFPIC of the picture's PDF twin (same name, .pdf), centred, with its caption.
function Para(para)
  if #para.content ~= 1 or para.content[1].t ~= "Image" then return nil end
  local image = para.content[1]
  local pdf = image.src:gsub("%.png$", ".pdf")
  local width = image.attributes.width or "5.5in"
  width = width:gsub("in$", "i")
  local blocks = { pandoc.RawBlock("ms", ".ne 3i\n.PDFPIC -C " .. pdf .. " " .. width) }
  if #image.caption > 0 then
    table.insert(blocks, pandoc.Para({ pandoc.Emph(image.caption) }))
  end
  return blocks
end
